#pragma once

#include "foundation/values/HashCombine.h"
#include "JsonCoding.h"

#include <concepts>
#include <string_view>

namespace kestrova {

// A type that names a JSON-decodable `Value` and the value a record field of that type takes when its member
// is missing from stored JSON.
template <typename Source>
concept DecodableDefaultSource = requires {
    typename Source::Value;
    { Source::defaultValue } -> std::convertible_to<typename Source::Value>;
};

// Lets a stored record load when a newer member is missing: a missing or null member gives the field's
// default, while a member of the wrong kind still fails the record. The field is written back as its bare
// value, always, also when it equals the default.
namespace DecodableDefault {

template <DecodableDefaultSource Source> struct Wrapper {
    using Value = typename Source::Value;

    Value wrappedValue = Source::defaultValue;

    Wrapper() = default;
    Wrapper(Value value)
        : wrappedValue(std::move(value)) {}

    operator const Value &() const { return wrappedValue; }
    Wrapper &operator=(Value value) {
        wrappedValue = std::move(value);
        return *this;
    }

    Json toJson() const { return JsonCoding<Value>::encode(wrappedValue); }
    // The bare value; a value of the wrong kind throws, there is no fallback at this level.
    static Wrapper fromJson(const Json &json) { return Wrapper(JsonCoding<Value>::decode(json)); }

    // The field under `key` of a record: absent or null gives the default; any other value is decoded as
    // above and its error, if any, propagates unchanged.
    static Wrapper decode(const Json &record, std::string_view key) {
        const Json &object = requireJsonObject(record);
        const auto member = object.find(key);
        if (member == object.end() || member->is_null())
            return Wrapper();
        return fromJson(*member);
    }

    friend bool operator==(const Wrapper &lhs, const Wrapper &rhs) requires std::equality_comparable<Value> {
        return lhs.wrappedValue == rhs.wrappedValue;
    }
};

namespace Sources {
struct True {
    using Value = bool;
    static constexpr bool defaultValue = true;
};
struct False {
    using Value = bool;
    static constexpr bool defaultValue = false;
};
} // namespace Sources

} // namespace DecodableDefault

// The same rule for a plain field: absent or null gives `defaultValue`, any other value must decode as T.
template <typename T> T decodeOrDefault(const Json &record, std::string_view key, T defaultValue) {
    const Json &object = requireJsonObject(record);
    const auto member = object.find(key);
    if (member == object.end() || member->is_null())
        return defaultValue;
    return JsonCoding<T>::decode(*member);
}

} // namespace kestrova

template <typename Source>
requires kestrova::Hashable<typename Source::Value>
struct std::hash<kestrova::DecodableDefault::Wrapper<Source>> {
    std::size_t operator()(const kestrova::DecodableDefault::Wrapper<Source> &wrapper) const {
        return kestrova::HashOf<typename Source::Value>{}(wrapper.wrappedValue);
    }
};

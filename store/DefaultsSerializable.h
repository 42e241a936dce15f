#pragma once

#include "foundation/json/JsonCoding.h"
#include "foundation/values/RawRepresentable.h"
#include "platform/defaults/PropertyListValue.h"

#include <QString>
#include <QUrl>
#include <QUuid>

#include <concepts>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <type_traits>
#include <vector>

namespace kestrova::Defaults {

using platform::PropertyListValue;

// How one kind of value is kept in a settings suite. Every kind that a key can hold specialises
// `Serializable<T>` with:
//   static constexpr bool storesNatively;  // the suite holds the value as it is
//   static std::optional<PropertyListValue> toStored(const T &);   // the bridge's way in
//   static std::optional<T> fromStored(const PropertyListValue &); // the bridge's way out
// A bridge never fails loudly: no stored form, or no value from a stored object, is an empty optional.
template <typename T> struct Serializable;

template <typename T>
concept DefaultsSerializable = requires(const T &value, const PropertyListValue &stored) {
    { Serializable<T>::storesNatively } -> std::convertible_to<bool>;
    { Serializable<T>::toStored(value) } -> std::same_as<std::optional<PropertyListValue>>;
    { Serializable<T>::fromStored(stored) } -> std::same_as<std::optional<T>>;
};

// --- Natively stored kinds -------------------------------------------------------------------------------

namespace detail {

// The object itself when the suite holds it as a value of kind T. Booleans are never numbers; an integer
// kind takes an integer that fits, or a real with an exact integral value; a real kind takes any number.
template <typename T> std::optional<T> nativeValue(const PropertyListValue &stored) {
    if constexpr (std::same_as<T, bool>) {
        if (const auto *flag = stored.getIf<bool>())
            return *flag;
        return std::nullopt;
    } else if constexpr (std::integral<T>) {
        if (const auto *integer = stored.getIf<std::int64_t>()) {
            if constexpr (std::is_unsigned_v<T>) {
                if (*integer < 0 || static_cast<std::uint64_t>(*integer) > std::numeric_limits<T>::max())
                    return std::nullopt;
            } else if (*integer < std::numeric_limits<T>::min() || *integer > std::numeric_limits<T>::max()) {
                return std::nullopt;
            }
            return static_cast<T>(*integer);
        }
        if (const auto *real = stored.getIf<double>()) {
            if (!std::isfinite(*real) || std::trunc(*real) != *real ||
                *real < double(std::numeric_limits<T>::min()) ||
                *real >= std::ldexp(1.0, std::numeric_limits<T>::digits))
                return std::nullopt;
            return static_cast<T>(*real);
        }
        return std::nullopt;
    } else if constexpr (std::floating_point<T>) {
        if (const auto *real = stored.getIf<double>())
            return static_cast<T>(*real);
        if (const auto *integer = stored.getIf<std::int64_t>())
            return static_cast<T>(*integer);
        return std::nullopt;
    } else {
        if (const auto *value = stored.getIf<T>())
            return *value;
        return std::nullopt;
    }
}

// Unsigned 64-bit values above the signed range have no integer form in the suite.
template <typename T> std::optional<PropertyListValue> nativeStoredForm(const T &value) {
    if constexpr (std::same_as<T, std::uint64_t> || std::same_as<T, unsigned long long> ||
                  std::same_as<T, unsigned long>) {
        if (value > static_cast<T>(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
    }
    return PropertyListValue(value);
}

// Prints why a value has no JSON form: the one conversion failure that leaves a trace.
inline void printEncodingError(const std::exception &error) {
    std::printf("%s\n", error.what());
    std::fflush(stdout);
}

} // namespace detail

// The bridge of every JSON-coded kind: the stored form is the value's own JSON text (a one-element
// array's text without its brackets), and text read back is decoded the same way.
template <typename T> struct TopLevelCodableBridge {
    static std::optional<PropertyListValue> toStored(const T &value) {
        try {
            return PropertyListValue(QString::fromStdString(encodeJsonValue(value)));
        } catch (const std::exception &error) {
            detail::printEncodingError(error);
            return std::nullopt;
        }
    }
    static std::optional<T> fromStored(const PropertyListValue &stored) {
        const auto *text = stored.getIf<QString>();
        if (!text)
            return std::nullopt;
        const QByteArray utf8 = text->toUtf8();
        return decodeJsonValue<T>(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    }
};

// Booleans, integers of every width, reals, text, binary data and dates are held as they are; text under
// such a key (written in JSON form by an earlier layout) is still read, through the JSON bridge.
template <typename T> struct NativeSerializable {
    static constexpr bool storesNatively = true;
    static std::optional<PropertyListValue> toStored(const T &value) {
        if (auto native = detail::nativeStoredForm(value))
            return native;
        // An unsigned count beyond the suite's integer range goes in as its JSON text, which reads back
        // whole; nothing of it is lost and nothing stored before is erased.
        return TopLevelCodableBridge<T>::toStored(value);
    }
    static std::optional<T> fromStored(const PropertyListValue &stored) {
        if (auto native = detail::nativeValue<T>(stored))
            return native;
        return TopLevelCodableBridge<T>::fromStored(stored);
    }
};

template <typename T>
requires(std::integral<T> || std::floating_point<T>) struct Serializable<T> : NativeSerializable<T> {
};
template <> struct Serializable<QString> : NativeSerializable<QString> {};
template <> struct Serializable<QByteArray> : NativeSerializable<QByteArray> {};
template <> struct Serializable<platform::Date> : NativeSerializable<platform::Date> {};

// A record with a JSON coding opts in with `struct Serializable<Record> : CodableSerializable<Record> {}`.
template <typename T> struct CodableSerializable {
    static constexpr bool storesNatively = false;
    static std::optional<PropertyListValue> toStored(const T &value) {
        return TopLevelCodableBridge<T>::toStored(value);
    }
    static std::optional<T> fromStored(const PropertyListValue &stored) {
        return TopLevelCodableBridge<T>::fromStored(stored);
    }
};

// --- Raw-value kinds -------------------------------------------------------------------------------------

// A kind stored by its raw value specialises RawValueTraits with
//   using RawValue = …;  static RawValue rawValue(const T &);  static std::optional<T> fromRawValue(const
//   RawValue &);
// and opts in with `struct Serializable<T> : RawRepresentableSerializable<T> {}`.
template <typename T> struct RawValueTraits;

// Types that carry their own raw value need no traits of their own.
template <RawRepresentable T> struct RawValueTraits<T> {
    using RawValue = typename T::RawValue;
    static RawValue rawValue(const T &value) { return value.rawValue(); }
    static std::optional<T> fromRawValue(const RawValue &raw) { return T::fromRawValue(raw); }
};

template <typename T> struct RawRepresentableSerializable {
    using Traits = RawValueTraits<T>;
    static constexpr bool storesNatively = false;
    static std::optional<PropertyListValue> toStored(const T &value) {
        return Serializable<typename Traits::RawValue>::toStored(Traits::rawValue(value));
    }
    static std::optional<T> fromStored(const PropertyListValue &stored) {
        const auto raw = detail::nativeValue<typename Traits::RawValue>(stored);
        if (!raw)
            return std::nullopt;
        return Traits::fromRawValue(*raw);
    }
};

// --- Identifiers and URLs --------------------------------------------------------------------------------

// Upper-case canonical text with hyphens; lower case is accepted on reading.
template <> struct Serializable<QUuid> {
    static constexpr bool storesNatively = false;
    static QString canonicalText(const QUuid &uuid) { return uuid.toString(QUuid::WithoutBraces).toUpper(); }
    static std::optional<PropertyListValue> toStored(const QUuid &uuid) {
        return PropertyListValue(canonicalText(uuid));
    }
    static std::optional<QUuid> fromStored(const PropertyListValue &stored) {
        const auto *text = stored.getIf<QString>();
        if (!text || text->size() != 36)
            return std::nullopt;
        const QUuid uuid = QUuid::fromString(*text);
        if (uuid.isNull() && *text != QStringLiteral("00000000-0000-0000-0000-000000000000"))
            return std::nullopt;
        return uuid;
    }
};

// A JSON string holding the URL's absolute text.
template <> struct Serializable<QUrl> {
    static constexpr bool storesNatively = false;
    static std::optional<PropertyListValue> toStored(const QUrl &url) {
        if (!url.isValid())
            return std::nullopt;
        return TopLevelCodableBridge<QString>::toStored(QString::fromUtf8(url.toEncoded()));
    }
    static std::optional<QUrl> fromStored(const PropertyListValue &stored) {
        const auto text = TopLevelCodableBridge<QString>::fromStored(stored);
        if (!text)
            return std::nullopt;
        QUrl url = QUrl::fromEncoded(text->toUtf8(), QUrl::StrictMode);
        if (!url.isValid() || url.isRelative())
            return std::nullopt;
        return url;
    }
};

// --- Collections -----------------------------------------------------------------------------------------

// An absent optional is never stored (the key removes its entry instead); a present one is stored as its
// wrapped value.
template <DefaultsSerializable Wrapped> struct Serializable<std::optional<Wrapped>> {
    static constexpr bool storesNatively = Serializable<Wrapped>::storesNatively;
    static std::optional<PropertyListValue> toStored(const std::optional<Wrapped> &value) {
        if (!value)
            return std::nullopt;
        return Serializable<Wrapped>::toStored(*value);
    }
    static std::optional<std::optional<Wrapped>> fromStored(const PropertyListValue &stored) {
        auto value = Serializable<Wrapped>::fromStored(stored);
        if (!value)
            return std::nullopt;
        return std::optional<Wrapped>(std::move(*value));
    }
};

template <typename T> struct IsOptional : std::false_type {};
template <typename T> struct IsOptional<std::optional<T>> : std::true_type {};

// Elements that do not convert are left out, in both directions.
template <DefaultsSerializable Element> struct Serializable<std::vector<Element>> {
    static constexpr bool storesNatively = Serializable<Element>::storesNatively;
    static std::optional<PropertyListValue> toStored(const std::vector<Element> &elements) {
        PropertyListValue::Array stored;
        stored.reserve(elements.size());
        for (const auto &element : elements)
            if (auto form = Serializable<Element>::toStored(element))
                stored.push_back(std::move(*form));
        return PropertyListValue(std::move(stored));
    }
    static std::optional<std::vector<Element>> fromStored(const PropertyListValue &stored) {
        const auto *array = stored.getIf<PropertyListValue::Array>();
        if (!array)
            return std::nullopt;
        std::vector<Element> elements;
        elements.reserve(array->size());
        for (const auto &item : *array)
            if (auto element = Serializable<Element>::fromStored(item))
                elements.push_back(std::move(*element));
        return elements;
    }
};

// Text-keyed maps; entries whose value does not convert are left out.
template <DefaultsSerializable Value> struct Serializable<std::map<QString, Value>> {
    static constexpr bool storesNatively = Serializable<Value>::storesNatively;
    static std::optional<PropertyListValue> toStored(const std::map<QString, Value> &map) {
        PropertyListValue::Dictionary stored;
        for (const auto &[key, value] : map)
            if (auto form = Serializable<Value>::toStored(value))
                stored.insert_or_assign(key, std::move(*form));
        return PropertyListValue(std::move(stored));
    }
    static std::optional<std::map<QString, Value>> fromStored(const PropertyListValue &stored) {
        const auto *dictionary = stored.getIf<PropertyListValue::Dictionary>();
        if (!dictionary)
            return std::nullopt;
        std::map<QString, Value> map;
        for (const auto &[key, item] : *dictionary)
            if (auto value = Serializable<Value>::fromStored(item))
                map.insert_or_assign(key, std::move(*value));
        return map;
    }
};

// Sets are stored as arrays, in the set's own order; any order reads back as the same set.
template <DefaultsSerializable Element> struct Serializable<std::set<Element>> {
    static constexpr bool storesNatively = false;
    static std::optional<PropertyListValue> toStored(const std::set<Element> &elements) {
        return Serializable<std::vector<Element>>::toStored(
            std::vector<Element>(elements.begin(), elements.end()));
    }
    static std::optional<std::set<Element>> fromStored(const PropertyListValue &stored) {
        auto elements = Serializable<std::vector<Element>>::fromStored(stored);
        if (!elements)
            return std::nullopt;
        return std::set<Element>(elements->begin(), elements->end());
    }
};

// --- The two conversions the keys use --------------------------------------------------------------------

// What a key registers or hands to the suite for a value.
template <DefaultsSerializable T> std::optional<PropertyListValue> storedForm(const T &value) {
    return Serializable<T>::toStored(value);
}

// A value of kind T from an object read from the suite.
template <DefaultsSerializable T> std::optional<T> valueFromStored(const PropertyListValue &stored) {
    return Serializable<T>::fromStored(stored);
}

// True for a value that stands for nothing: an absent optional (and an empty AnySerializable).
template <typename T> bool representsNil(const T &value) {
    if constexpr (IsOptional<T>::value)
        return !value.has_value();
    else if constexpr (requires { value.representsNil(); })
        return value.representsNil();
    else
        return false;
}

} // namespace kestrova::Defaults

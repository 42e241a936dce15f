#pragma once

#include <nlohmann/json.hpp>

#include <QHashFunctions>
#include <QString>

#include <concepts>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>

namespace kestrova {

// A type that is a thin, meaningful wrapper of one raw value (text, a number): it gives the raw value back
// and makes itself from one, or refuses to. Such types compare, order and hash by their raw value, and are
// stored as the bare raw value.
template <typename Type>
concept RawRepresentable = requires(const Type &value, const typename Type::RawValue &raw) {
    { value.rawValue() } -> std::convertible_to<typename Type::RawValue>;
    { Type::fromRawValue(raw) } -> std::same_as<std::optional<Type>>;
};

template <RawRepresentable Type> bool operator==(const Type &lhs, const Type &rhs) {
    return lhs.rawValue() == rhs.rawValue();
}

template <RawRepresentable Type>
requires std::totally_ordered<typename Type::RawValue>
bool operator<(const Type &lhs, const Type &rhs) {
    return lhs.rawValue() < rhs.rawValue();
}

template <RawRepresentable Type> struct RawValueHash {
    std::size_t operator()(const Type &value) const {
        return std::hash<typename Type::RawValue>{}(value.rawValue());
    }
};

// The stored form: the bare raw value (text as UTF-8).
template <RawRepresentable Type> void rawValueToJson(nlohmann::json &json, const Type &value) {
    if constexpr (std::same_as<typename Type::RawValue, QString>)
        json = value.rawValue().toStdString();
    else
        json = value.rawValue();
}

// Reads the bare raw value and makes the value from it; a raw value the type refuses fails the read with
// nlohmann's out_of_range error, as any other unreadable value does.
template <RawRepresentable Type> Type rawValueFromJson(const nlohmann::json &json) {
    typename Type::RawValue raw{};
    if constexpr (std::same_as<typename Type::RawValue, QString>)
        raw = QString::fromStdString(json.get<std::string>());
    else
        raw = json.get<typename Type::RawValue>();
    std::optional<Type> value = Type::fromRawValue(raw);
    if (!value)
        throw nlohmann::json::out_of_range::create(401, "raw value not accepted", &json);
    return *std::move(value);
}

} // namespace kestrova

#pragma once

#include "DefaultsSerializable.h"

#include <QStringList>

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <utility>

namespace kestrova::Defaults {

// A stored value of any property-list shape, or nothing: for a key whose kind is not fixed. Values of
// different kinds are unequal even when they look alike (the integer 1, the Boolean true and the real 1.0
// are three different values).
class AnySerializable {
public:
    AnySerializable() = default;
    AnySerializable(std::nullopt_t) {}
    explicit AnySerializable(std::optional<PropertyListValue> value)
        : m_value(std::move(value)) {}
    AnySerializable(bool value)
        : m_value(PropertyListValue(value)) {}
    template <std::integral Integer>
    requires(!std::same_as<Integer, bool>) AnySerializable(Integer value)
        : m_value(PropertyListValue(static_cast<std::int64_t>(value))) {}
    AnySerializable(double value)
        : m_value(PropertyListValue(value)) {}
    AnySerializable(const QString &value)
        : m_value(PropertyListValue(value)) {}
    AnySerializable(const char *utf8)
        : m_value(PropertyListValue(utf8)) {}
    // A list, or a text-keyed map; elements that hold nothing are left out.
    static AnySerializable array(std::initializer_list<AnySerializable> elements);
    static AnySerializable
    dictionary(std::initializer_list<std::pair<const QString, AnySerializable>> entries);

    // The stored form of any storable value; nothing when it has none.
    template <DefaultsSerializable T>
    requires(!std::same_as<T, AnySerializable>) static AnySerializable from(const T &value) {
        return AnySerializable(storedForm(value));
    }

    const std::optional<PropertyListValue> &value() const { return m_value; }
    bool representsNil() const { return !m_value.has_value(); }

    // The held value converted to T; nothing when it does not convert.
    template <DefaultsSerializable T> std::optional<T> get() const {
        if (!m_value)
            return std::nullopt;
        return valueFromStored<T>(*m_value);
    }
    template <DefaultsSerializable T> void set(const T &value) { m_value = storedForm(value); }

    bool operator==(const AnySerializable &other) const { return m_value == other.m_value; }

    std::size_t hash() const;

private:
    std::optional<PropertyListValue> m_value;
};

// The held value goes to the suite unchanged; anything read back is wrapped, so reading never fails.
template <> struct Serializable<AnySerializable> {
    static constexpr bool storesNatively = false;
    static std::optional<PropertyListValue> toStored(const AnySerializable &value) { return value.value(); }
    static std::optional<AnySerializable> fromStored(const PropertyListValue &stored) {
        return AnySerializable(stored);
    }
};

} // namespace kestrova::Defaults

template <> struct std::hash<kestrova::Defaults::AnySerializable> {
    std::size_t operator()(const kestrova::Defaults::AnySerializable &value) const { return value.hash(); }
};

#pragma once

#include <QString>

#include <any>
#include <concepts>
#include <functional>
#include <optional>
#include <type_traits>

namespace kestrova {

// A value of any equality-comparable type, comparable with any other `AnyEquatable`. Values of different
// types are never equal: an int 1 and a double 1.0 differ, and so do `true` and 1. Text literals are held
// as QString, so `AnyEquatable("a")` equals `AnyEquatable(QString("a"))`.
class AnyEquatable {
public:
    template <typename Value>
    requires std::equality_comparable<Value> &&
        (!std::same_as<std::decay_t<Value>, AnyEquatable>)&&(!std::is_pointer_v<std::decay_t<Value>>)
            AnyEquatable(Value value) // NOLINT: converts implicitly, as a literal does
        : m_value(value)
        , m_isEqual([value](const std::any &other) {
            const Value *otherValue = std::any_cast<Value>(&other);
            return otherValue && *otherValue == value;
        }) {}
    AnyEquatable(const char *text) // NOLINT: converts implicitly, as a literal does
        : AnyEquatable(QString::fromUtf8(text)) {}

    // The value as `Value`, or none when it is of another type.
    template <typename Value> std::optional<Value> value() const {
        if (const Value *stored = std::any_cast<Value>(&m_value))
            return *stored;
        return std::nullopt;
    }
    const std::any &base() const { return m_value; }

    // A template, so that no other type converts into the comparison through the converting constructor.
    template <std::same_as<AnyEquatable> Same> friend bool operator==(const Same &lhs, const Same &rhs) {
        return lhs.m_isEqual(rhs.m_value) || rhs.m_isEqual(lhs.m_value);
    }

private:
    std::any m_value;
    std::function<bool(const std::any &)> m_isEqual;
};

} // namespace kestrova

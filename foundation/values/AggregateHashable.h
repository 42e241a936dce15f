#pragma once

#include "foundation/values/Hasher.h"

#include <QHashFunctions>
#include <QString>

#include <any>
#include <concepts>
#include <functional>
#include <type_traits>
#include <typeindex>
#include <vector>

namespace kestrova {

// One hashable value of any type, as an element of `AggregateHashable`. Values of different types are
// never equal; text literals are held as QString.
class AnyHashable {
public:
    template <typename Value>
    requires std::equality_comparable<Value> &&(!std::same_as<std::decay_t<Value>, AnyHashable>)&&(
        !std::is_pointer_v<std::decay_t<Value>>)&&requires(const Value &value) {
        { std::hash<Value>{}(value) } -> std::convertible_to<std::size_t>;
    }
    AnyHashable(Value value) // NOLINT: converts implicitly so keys read as plain lists of values
        : m_type(typeid(Value))
        , m_hash(std::hash<Value>{}(value))
        , m_value(value)
        , m_isEqual([](const std::any &lhs, const std::any &rhs) {
            return *std::any_cast<Value>(&lhs) == *std::any_cast<Value>(&rhs);
        }) {}
    AnyHashable(const char *text) // NOLINT: converts implicitly, as a literal does
        : AnyHashable(QString::fromUtf8(text)) {}

    std::size_t hashValue() const { return m_hash; }
    const std::any &base() const { return m_value; }

    // A template, so that no other type converts into the comparison through the converting constructor.
    template <std::same_as<AnyHashable> Same> friend bool operator==(const Same &lhs, const Same &rhs) {
        return lhs.m_type == rhs.m_type && lhs.m_isEqual(lhs.m_value, rhs.m_value);
    }

private:
    std::type_index m_type;
    std::size_t m_hash;
    std::any m_value;
    bool (*m_isEqual)(const std::any &, const std::any &);
};

// A key made of a list of values: equal to another when the lists are equal element by element in order.
// The list's hash is computed once, when the key is made, and is all that hashing the key feeds.
struct AggregateHashable {
    std::vector<AnyHashable> elements;
    std::size_t cachedHashValue = 0;

    explicit AggregateHashable(std::vector<AnyHashable> values)
        : elements(std::move(values))
        , cachedHashValue(hashOf(elements)) {}

    friend bool operator==(const AggregateHashable &lhs, const AggregateHashable &rhs) {
        return lhs.elements == rhs.elements;
    }

private:
    static std::size_t hashOf(const std::vector<AnyHashable> &values) {
        Hasher hasher;
        hasher.combine(values.size());
        for (const AnyHashable &value : values)
            hasher.combineHash(value.hashValue());
        return hasher.finalize();
    }
};

} // namespace kestrova

template <> struct std::hash<kestrova::AnyHashable> {
    std::size_t operator()(const kestrova::AnyHashable &value) const { return value.hashValue(); }
};

template <> struct std::hash<kestrova::AggregateHashable> {
    std::size_t operator()(const kestrova::AggregateHashable &key) const { return key.cachedHashValue; }
};

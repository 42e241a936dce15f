#pragma once

#include "HashCombine.h"
#include "TextFormatting.h"

#include <concepts>
#include <functional>

namespace kestrova {

// A value behind a shared reference (hold it in a std::shared_ptr). Comparisons, hashing and text pass
// through to the value.
template <typename T> class Box {
public:
    explicit Box(T value)
        : m_wrappedValue(std::move(value)) {}

    const T &wrappedValue() const { return m_wrappedValue; }

    friend bool operator==(const Box &lhs, const Box &rhs) requires std::equality_comparable<T> {
        return lhs.m_wrappedValue == rhs.m_wrappedValue;
    }
    friend bool operator<(const Box &lhs, const Box &rhs) requires LessThanComparable<T> {
        return lhs.m_wrappedValue < rhs.m_wrappedValue;
    }
    friend bool operator>(const Box &lhs, const Box &rhs) requires LessThanComparable<T> { return rhs < lhs; }
    friend bool operator<=(const Box &lhs, const Box &rhs) requires LessThanComparable<T> {
        return !(rhs < lhs);
    }
    friend bool operator>=(const Box &lhs, const Box &rhs) requires LessThanComparable<T> {
        return !(lhs < rhs);
    }

    QString description() const { return describe(m_wrappedValue); }
    QString debugDescription() const {
        return QStringLiteral("Box(") + describe(m_wrappedValue) + QLatin1Char(')');
    }

private:
    T m_wrappedValue;
};

} // namespace kestrova

template <typename T>
requires kestrova::Hashable<T>
struct std::hash<kestrova::Box<T>> {
    std::size_t operator()(const kestrova::Box<T> &box) const {
        return kestrova::Hasher<T>{}(box.wrappedValue());
    }
};

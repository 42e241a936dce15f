#pragma once

#include "foundation/values/HashCombine.h"
#include "PassThroughComparisons.h"
#include "foundation/text/TextFormatting.h"

#include <functional>

namespace kestrova {

// A value behind a shared reference (hold it in a std::shared_ptr). Comparisons, hashing and text pass
// through to the value.
template <typename T> class Box : public PassThroughComparisons<Box<T>, T> {
public:
    explicit Box(T value)
        : m_wrappedValue(std::move(value)) {}

    const T &wrappedValue() const { return m_wrappedValue; }

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
        return kestrova::HashOf<T>{}(box.wrappedValue());
    }
};

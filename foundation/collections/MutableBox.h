#pragma once

#include "foundation/values/HashCombine.h"
#include "PassThroughComparisons.h"
#include "foundation/text/TextFormatting.h"

#include <functional>

namespace kestrova {

// A writable value behind a shared reference (hold it in a std::shared_ptr); every holder sees writes.
// Comparisons, hashing and text pass through to the value.
template <typename T> class MutableBox : public PassThroughComparisons<MutableBox<T>, T> {
public:
    explicit MutableBox(T value)
        : m_wrappedValue(std::move(value)) {}

    const T &wrappedValue() const { return m_wrappedValue; }
    T &wrappedValue() { return m_wrappedValue; }
    void setWrappedValue(T value) { m_wrappedValue = std::move(value); }

    QString description() const { return describe(m_wrappedValue); }
    QString debugDescription() const {
        return QStringLiteral("MutableBox(") + describe(m_wrappedValue) + QLatin1Char(')');
    }

private:
    T m_wrappedValue;
};

} // namespace kestrova

template <typename T>
requires kestrova::Hashable<T>
struct std::hash<kestrova::MutableBox<T>> {
    std::size_t operator()(const kestrova::MutableBox<T> &box) const {
        return kestrova::HashOf<T>{}(box.wrappedValue());
    }
};

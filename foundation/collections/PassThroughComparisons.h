#pragma once

#include "foundation/values/HashCombine.h"

#include <concepts>

namespace kestrova {

// Gives a holder (Box, MutableBox, LazyBox) the comparisons of its held value, each only where the value has
// it. The holder derives from PassThroughComparisons<Holder, T> and offers `wrappedValue()`.
template <typename Holder, typename T> struct PassThroughComparisons {
    friend bool operator==(const Holder &lhs, const Holder &rhs) requires std::equality_comparable<T> {
        return lhs.wrappedValue() == rhs.wrappedValue();
    }
    friend bool operator<(const Holder &lhs, const Holder &rhs) requires LessThanComparable<T> {
        return lhs.wrappedValue() < rhs.wrappedValue();
    }
    friend bool operator>(const Holder &lhs, const Holder &rhs) requires LessThanComparable<T> {
        return rhs < lhs;
    }
    friend bool operator<=(const Holder &lhs, const Holder &rhs) requires LessThanComparable<T> {
        return !(rhs < lhs);
    }
    friend bool operator>=(const Holder &lhs, const Holder &rhs) requires LessThanComparable<T> {
        return !(lhs < rhs);
    }
};

} // namespace kestrova

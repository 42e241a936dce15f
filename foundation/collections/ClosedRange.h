#pragma once

#include <utility>

namespace kestrova {

// The values from `lowerBound` to `upperBound`, both included. A range whose upper bound lies below its
// lower bound contains nothing; the operations that draw from a range refuse it.
template <typename Bound> struct ClosedRange {
    Bound lowerBound{};
    Bound upperBound{};

    // The range between two values given in either order; equal values give a one-point range.
    static ClosedRange spanning(const Bound &first, const Bound &second) {
        if (second < first)
            return {second, first};
        return {first, second};
    }

    bool contains(const Bound &value) const { return !(value < lowerBound) && !(upperBound < value); }

    friend bool operator==(const ClosedRange &, const ClosedRange &) = default;
};

} // namespace kestrova

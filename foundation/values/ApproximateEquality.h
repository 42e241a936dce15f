#pragma once

#include <algorithm>
#include <cmath>
#include <concepts>
#include <limits>

namespace kestrova {

// Whether `a` and `b` differ by less than `relativeTolerance` times the larger magnitude (never less than
// the smallest normal number, so two tiny values are not held to an impossibly tight bound). NaN is never
// approximately equal to anything; an infinity only to itself, or to a finite number close to the largest
// finite magnitude of that sign.
template <std::floating_point Number>
bool isApproximatelyEqual(Number a, Number b, Number relativeTolerance) {
    if (std::isfinite(a) && std::isfinite(b)) {
        const Number scale = std::max({std::fabs(a), std::fabs(b), std::numeric_limits<Number>::min()});
        return std::fabs(a - b) < scale * relativeTolerance;
    }
    if (std::isnan(a) || std::isnan(b))
        return false;
    if (std::isinf(a) && std::isinf(b))
        return a == b;
    // Exactly one is infinite: stand it in by the largest power of two of its sign and halve the finite
    // one, which keeps their difference finite.
    const Number largestPowerOfTwo = std::ldexp(Number(1), std::numeric_limits<Number>::max_exponent - 1);
    if (std::isinf(a))
        return isApproximatelyEqual(std::copysign(largestPowerOfTwo, a), b / 2, relativeTolerance);
    return isApproximatelyEqual(a / 2, std::copysign(largestPowerOfTwo, b), relativeTolerance);
}

// Whether `a` lies closer to zero than `absoluteTolerance`; relative tolerance is useless near zero.
template <std::floating_point Number> bool isApproximatelyZero(Number a, Number absoluteTolerance) {
    return std::fabs(a) < absoluteTolerance;
}

} // namespace kestrova

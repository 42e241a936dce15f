#pragma once

#include <QtGlobal>

#include <limits>

namespace kestrova {

// The number as a 64-bit integer, rounded toward zero and clamped to the integer's range instead of
// overflowing: at or beyond ±2^63 it gives the integer's extreme of that sign, and infinities do the same.
// A NaN has no nearer integer than any other, so it gives 0.
constexpr qint64 clampedToInt(double value) {
    if (value != value)
        return 0;
    if (value >= 0x1p63)
        return std::numeric_limits<qint64>::max();
    if (value <= -0x1p63)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(value);
}

} // namespace kestrova

#pragma once

// The kit's ordering and hashing of the platform's sizes and rectangles.

#include "foundation/values/Hasher.h"
#include "platform/values/Geometry.h"

#include <functional>

namespace kestrova::platform {

// A size is smaller than another only when it is smaller in both dimensions. Two sizes of which neither
// is smaller in both (10 x 20 and 15 x 5) are neither less nor greater, and each is <= and >= the other;
// this is a partial order, so it must not be handed to a sort.
inline bool operator<(const Size &lhs, const Size &rhs) {
    return lhs.width < rhs.width && lhs.height < rhs.height;
}
inline bool operator>(const Size &lhs, const Size &rhs) {
    return rhs < lhs;
}
inline bool operator<=(const Size &lhs, const Size &rhs) {
    return !(rhs < lhs);
}
inline bool operator>=(const Size &lhs, const Size &rhs) {
    return !(lhs < rhs);
}

} // namespace kestrova::platform

template <> struct std::hash<kestrova::platform::Size> {
    std::size_t operator()(const kestrova::platform::Size &size) const {
        kestrova::Hasher hasher;
        hasher.combine(size.width);
        hasher.combine(size.height);
        return hasher.finalize();
    }
};

template <> struct std::hash<kestrova::platform::Rect> {
    std::size_t operator()(const kestrova::platform::Rect &rect) const {
        kestrova::Hasher hasher;
        hasher.combine(rect.x);
        hasher.combine(rect.y);
        hasher.combine(rect.width);
        hasher.combine(rect.height);
        return hasher.finalize();
    }
};

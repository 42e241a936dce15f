#pragma once

#include <QRectF>
#include <QSizeF>

namespace kestrova::platform {

// A width and a height in points. Unlike QSizeF, equality is exact, so that a value can serve as a hash
// key: equal sizes must hash alike, and a fuzzy equality cannot promise that.
struct Size {
    double width = 0;
    double height = 0;

    static Size fromQSizeF(const QSizeF &size) { return {size.width(), size.height()}; }
    QSizeF toQSizeF() const { return {width, height}; }

    friend bool operator==(const Size &, const Size &) = default;
};

// An origin and a size in points, compared exactly for the same reason as `Size`.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    static Rect fromQRectF(const QRectF &rect) { return {rect.x(), rect.y(), rect.width(), rect.height()}; }
    QRectF toQRectF() const { return {x, y, width, height}; }

    friend bool operator==(const Rect &, const Rect &) = default;
};

} // namespace kestrova::platform

#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

namespace kestrova::testing {

// The smallest rectangle holding every pixel more opaque than `alpha`: where a drawing has visible ink.
inline QRect inkBounds(const QImage &image, int alpha = 64) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).alpha() > alpha)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

// The colour of the most opaque pixel (the first one found); transparent for an empty image.
inline QColor strongestInk(const QImage &image) {
    QColor strongest(Qt::transparent);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor color = image.pixelColor(x, y);
            if (color.alpha() > strongest.alpha())
                strongest = color;
        }
    }
    return strongest;
}

} // namespace kestrova::testing

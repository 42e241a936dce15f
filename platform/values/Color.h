#pragma once

#include <QColor>

namespace kestrova::platform {

// A colour as the user picked it: sRGB components and alpha as reals (extended-range components, below 0 or
// above 1, are kept). Every value has an archived form (KeyedArchive), since a component that is not a finite
// number is stored as 0 when the colour is made. Equal colours have identical components.
class Color {
public:
    // Opaque black.
    Color() = default;
    Color(double red, double green, double blue, double alpha = 1.0);

    // An invalid QColor gives transparent black.
    static Color fromQColor(const QColor &color);
    QColor toQColor() const;

    double red() const { return m_red; }
    double green() const { return m_green; }
    double blue() const { return m_blue; }
    double alpha() const { return m_alpha; }

    bool operator==(const Color &) const = default;

private:
    double m_red = 0;
    double m_green = 0;
    double m_blue = 0;
    double m_alpha = 1;
};

} // namespace kestrova::platform

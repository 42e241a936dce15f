#include "Color.h"

#include <algorithm>
#include <cmath>

namespace kestrova::platform {

namespace {
double finiteOrZero(double component) {
    return std::isfinite(component) ? component : 0.0;
}
} // namespace

Color::Color(double red, double green, double blue, double alpha)
    : m_red(finiteOrZero(red))
    , m_green(finiteOrZero(green))
    , m_blue(finiteOrZero(blue))
    , m_alpha(finiteOrZero(alpha)) {}

Color Color::fromQColor(const QColor &color) {
    if (!color.isValid())
        return Color(0, 0, 0, 0);
    const QColor rgb = color.toExtendedRgb();
    return Color(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

QColor Color::toQColor() const {
    const auto inUnitRange = [](double component) { return component >= 0.0 && component <= 1.0; };
    if (inUnitRange(m_red) && inUnitRange(m_green) && inUnitRange(m_blue) && inUnitRange(m_alpha))
        return QColor::fromRgbF(float(m_red), float(m_green), float(m_blue), float(m_alpha));
    return QColor::fromRgbF(float(m_red), float(m_green), float(m_blue), float(std::clamp(m_alpha, 0.0, 1.0)))
        .toExtendedRgb();
}

} // namespace kestrova::platform

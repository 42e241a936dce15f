#include "LocationCoordinate.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace kestrova {

namespace {

// The shortest text that reads back as the same number: fixed notation with at least one fraction digit
// ("13.0"), or exponent notation for very small and very large magnitudes ("1e-05").
QString shortestDecimal(double value) {
    char buffer[64];
    const double magnitude = std::fabs(value);
    const bool useExponent = std::isfinite(value) && value != 0 && (magnitude < 1e-4 || magnitude >= 0x1p53);
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      useExponent ? std::chars_format::scientific : std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (std::isfinite(value) && !useExponent && !text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

double radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

} // namespace

QString LocationCoordinate::identifier() const {
    return shortestDecimal(latitude) + QLatin1Char('-') + shortestDecimal(longitude);
}

double LocationCoordinate::distance(const LocationCoordinate &other) const {
    constexpr double kMeanEarthRadius = 6371008.8;
    const double latitudeDelta = radians(other.latitude - latitude);
    const double longitudeDelta = radians(other.longitude - longitude);
    const double haversine = std::pow(std::sin(latitudeDelta / 2), 2) +
                             std::cos(radians(latitude)) * std::cos(radians(other.latitude)) *
                                 std::pow(std::sin(longitudeDelta / 2), 2);
    // Rounding can push the term a hair past 1 for antipodal points, where asin would give NaN.
    return 2 * kMeanEarthRadius * std::asin(std::sqrt(std::clamp(haversine, 0.0, 1.0)));
}

} // namespace kestrova

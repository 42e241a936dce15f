#pragma once

#include <QString>

namespace kestrova {

// A point on the Earth in degrees. Its identifier (also its text) is the latitude and the longitude in their
// shortest exact decimal form joined by "-", so a negative longitude gives two minus signs in a row
// ("52.5--13.4").
struct LocationCoordinate {
    double latitude = 0;
    double longitude = 0;

    QString identifier() const;
    QString text() const { return identifier(); }

    // The great-circle distance in metres on a sphere of the Earth's mean radius. This is within about half
    // a percent of a measurement on the ellipsoid, which nothing here needs.
    double distance(const LocationCoordinate &other) const;

    friend bool operator==(const LocationCoordinate &, const LocationCoordinate &) = default;
};

} // namespace kestrova

#pragma once

#include <QDateTime>

#include <compare>

namespace kestrova::platform {

// A moment in time as seconds since 2001-01-01 00:00:00 UTC, the reference date that stored values and
// stored JSON use. Sub-second precision is kept in memory; not every storage format keeps it.
class Date {
public:
    static constexpr double kReferenceDateAsUnixTime = 978307200.0;

    constexpr Date() = default;
    constexpr explicit Date(double secondsSinceReferenceDate)
        : m_secondsSinceReferenceDate(secondsSinceReferenceDate) {}

    static Date now();
    static Date fromUnixTime(double secondsSince1970) {
        return Date(secondsSince1970 - kReferenceDateAsUnixTime);
    }
    static Date fromDateTime(const QDateTime &dateTime) {
        return fromUnixTime(static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0);
    }

    constexpr double timeIntervalSinceReferenceDate() const { return m_secondsSinceReferenceDate; }
    constexpr double timeIntervalSince1970() const {
        return m_secondsSinceReferenceDate + kReferenceDateAsUnixTime;
    }
    constexpr Date addingTimeInterval(double seconds) const {
        return Date(m_secondsSinceReferenceDate + seconds);
    }
    QDateTime toDateTime() const;

    constexpr auto operator<=>(const Date &) const = default;

private:
    double m_secondsSinceReferenceDate = 0;
};

} // namespace kestrova::platform

#pragma once

#include "foundation/collections/ClosedRange.h"
#include "foundation/time/DispatchTimeInterval.h"
#include "platform/values/Date.h"

#include <nlohmann/json_fwd.hpp>

#include <QtGlobal>

#include <array>
#include <compare>
#include <concepts>
#include <cstdint>
#include <functional>
#include <optional>
#include <ranges>

namespace kestrova {

// A span of time in seconds, used for delays, time-outs and intervals instead of bare numbers. It may be
// negative, zero or infinite; equality, ordering and hashing use the seconds alone, and -0 equals and
// hashes like +0. Its stored form is the bare number of seconds.
class Duration {
public:
    enum class Unit { nanoseconds, microseconds, milliseconds, seconds, minutes, hours, days, weeks };
    static constexpr std::array<Unit, 8> allUnits{Unit::nanoseconds, Unit::microseconds, Unit::milliseconds,
                                                  Unit::seconds,     Unit::minutes,      Unit::hours,
                                                  Unit::days,        Unit::weeks};

    // The number of seconds in one unit.
    static constexpr double rawValue(Unit unit) {
        switch (unit) {
        case Unit::nanoseconds:
            return 1e-9;
        case Unit::microseconds:
            return 1e-6;
        case Unit::milliseconds:
            return 0.001;
        case Unit::seconds:
            return 1;
        case Unit::minutes:
            return 60;
        case Unit::hours:
            return 3600;
        case Unit::days:
            return 86400;
        case Unit::weeks:
            return 604800;
        }
        return 1;
    }
    // The unit of exactly that many seconds, or none.
    static std::optional<Unit> unitFromRawValue(double seconds);

    static const Duration zero;

    constexpr Duration() = default;
    constexpr explicit Duration(double seconds)
        : m_seconds(seconds) {}
    constexpr Duration(double value, Unit unit)
        : m_seconds(value * rawValue(unit)) {}
    // `never` becomes an infinite duration.
    explicit Duration(const DispatchTimeInterval &interval);

    static constexpr Duration nanoseconds(double count) { return Duration(count, Unit::nanoseconds); }
    static constexpr Duration microseconds(double count) { return Duration(count, Unit::microseconds); }
    static constexpr Duration milliseconds(double count) { return Duration(count, Unit::milliseconds); }
    static constexpr Duration seconds(double count) { return Duration(count); }
    static constexpr Duration minutes(double count) { return Duration(count, Unit::minutes); }
    static constexpr Duration hours(double count) { return Duration(count, Unit::hours); }
    static constexpr Duration days(double count) { return Duration(count, Unit::days); }
    static constexpr Duration weeks(double count) { return Duration(count, Unit::weeks); }

    constexpr double seconds() const { return m_seconds; }

    // Whole milliseconds, microseconds and nanoseconds, rounded toward zero. A duration that is not finite
    // or does not fit 64 bits is reported and clamped to the range (NaN gives 0).
    qint64 inMilliseconds() const;
    qint64 inMicroseconds() const;
    qint64 inNanoseconds() const;

    // Always in nanoseconds (`inNanoseconds`), except that an infinite duration becomes `never`, the way
    // `never` came in. Other values that do not fit are reported and clamped, as the integer views are.
    DispatchTimeInterval dispatchTimeInterval() const;

    // A duration drawn uniformly from the range, either bound included. A range whose upper bound lies
    // below its lower bound, or whose width is not finite, is reported and gives its lower bound (zero when
    // that is not a number).
    static Duration random(const ClosedRange<Duration> &range);
    // The same, drawing from `generator`, whose every call yields 64 uniformly random bits.
    template <typename Generator>
    requires std::convertible_to<std::invoke_result_t<Generator &>, std::uint64_t>
    static Duration random(const ClosedRange<Duration> &range, Generator &generator) {
        if (!isDrawableRange(range))
            return fallbackForUndrawableRange(range);
        return pointInRange(range, drawUnitStep([&generator] { return std::uint64_t(generator()); }));
    }

    // The durations added in order, starting from zero.
    template <std::ranges::input_range Durations>
    requires std::convertible_to<std::ranges::range_reference_t<Durations>, Duration>
    static Duration sum(const Durations &durations) {
        Duration total = zero;
        for (const Duration duration : durations)
            total += duration;
        return total;
    }

    friend constexpr Duration operator+(Duration lhs, Duration rhs) {
        return Duration(lhs.m_seconds + rhs.m_seconds);
    }
    friend constexpr Duration operator-(Duration lhs, Duration rhs) {
        return Duration(lhs.m_seconds - rhs.m_seconds);
    }
    constexpr Duration &operator+=(Duration other) { return *this = *this + other; }
    constexpr Duration &operator-=(Duration other) { return *this = *this - other; }
    friend constexpr bool operator==(Duration lhs, Duration rhs) { return lhs.m_seconds == rhs.m_seconds; }
    friend constexpr std::partial_ordering operator<=>(Duration lhs, Duration rhs) {
        return lhs.m_seconds <=> rhs.m_seconds;
    }

private:
    static constexpr std::uint64_t kUnitSteps = std::uint64_t(1) << 53;

    static bool isDrawableRange(const ClosedRange<Duration> &range);
    static Duration fallbackForUndrawableRange(const ClosedRange<Duration> &range);
    static std::uint64_t drawUnitStep(const std::function<std::uint64_t()> &next64Bits);
    static Duration pointInRange(const ClosedRange<Duration> &range, std::uint64_t step);

    double m_seconds = 0;
};

inline constexpr Duration Duration::zero{};

// Dates that lie a duration after now, after 1970-01-01 00:00:00 UTC, after the 2001 reference date, or
// after a given date.
platform::Date dateFromNow(Duration duration);
platform::Date dateSince1970(Duration duration);
platform::Date dateSinceReferenceDate(Duration duration);
platform::Date dateAfter(const platform::Date &date, Duration duration);

void to_json(nlohmann::json &json, const Duration &duration);
void from_json(const nlohmann::json &json, Duration &duration);

} // namespace kestrova

template <> struct std::hash<kestrova::Duration> {
    std::size_t operator()(const kestrova::Duration &duration) const {
        const double seconds = duration.seconds() == 0 ? 0.0 : duration.seconds();
        return std::hash<double>{}(seconds);
    }
};

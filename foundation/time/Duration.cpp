#include "Duration.h"

#include "foundation/values/ClampedToInt.h"
#include "foundation/errors/ValueReports_p.h"

#include <nlohmann/json.hpp>

#include <sys/random.h>

#include <cmath>
#include <limits>

namespace kestrova {

namespace {

// The integer views promise a 64-bit count; anything else is clamped so no caller sees undefined behaviour.
qint64 checkedWholeCount(double value, const char *what) {
    if (std::isfinite(value) && value >= -0x1p63 && value < 0x1p63)
        return static_cast<qint64>(value);
    detail::reportUnexpectedValue(
        QStringLiteral("Duration of %1 %2 does not fit a 64-bit count").arg(value).arg(QLatin1String(what)));
    return clampedToInt(value);
}

std::uint64_t systemRandom64Bits() {
    std::uint64_t value = 0;
    auto *cursor = reinterpret_cast<unsigned char *>(&value);
    std::size_t remaining = sizeof value;
    while (remaining > 0) {
        const ssize_t got = getrandom(cursor, remaining, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            detail::stopWithFatalMessage(QStringLiteral("The system random source failed"));
        }
        cursor += got;
        remaining -= static_cast<std::size_t>(got);
    }
    return value;
}

} // namespace

std::optional<Duration::Unit> Duration::unitFromRawValue(double seconds) {
    for (const Unit unit : allUnits) {
        if (rawValue(unit) == seconds)
            return unit;
    }
    return std::nullopt;
}

Duration::Duration(const DispatchTimeInterval &interval) {
    switch (interval.kind()) {
    case DispatchTimeInterval::Kind::seconds:
        m_seconds = static_cast<double>(interval.count());
        return;
    case DispatchTimeInterval::Kind::milliseconds:
        m_seconds = static_cast<double>(interval.count()) * 0.001;
        return;
    case DispatchTimeInterval::Kind::microseconds:
        m_seconds = static_cast<double>(interval.count()) * 1e-6;
        return;
    case DispatchTimeInterval::Kind::nanoseconds:
        m_seconds = static_cast<double>(interval.count()) * 1e-9;
        return;
    case DispatchTimeInterval::Kind::never:
        m_seconds = std::numeric_limits<double>::infinity();
        return;
    }
}

qint64 Duration::inMilliseconds() const {
    return checkedWholeCount(m_seconds * 1000, "milliseconds");
}

qint64 Duration::inMicroseconds() const {
    return checkedWholeCount(m_seconds * 1000000, "microseconds");
}

qint64 Duration::inNanoseconds() const {
    return checkedWholeCount(m_seconds * 1000000000, "nanoseconds");
}

DispatchTimeInterval Duration::dispatchTimeInterval() const {
    if (m_seconds == std::numeric_limits<double>::infinity())
        return DispatchTimeInterval::never();
    // Multiplied rather than divided by 1e-9: that constant is not exact in binary, and the quotient of
    // 2 s would truncate to 1,999,999,999 ns.
    return DispatchTimeInterval::nanoseconds(inNanoseconds());
}

Duration Duration::random(const ClosedRange<Duration> &range) {
    if (!isDrawableRange(range))
        return fallbackForUndrawableRange(range);
    return pointInRange(range, drawUnitStep(systemRandom64Bits));
}

bool Duration::isDrawableRange(const ClosedRange<Duration> &range) {
    const double lower = range.lowerBound.m_seconds;
    const double upper = range.upperBound.m_seconds;
    // Written so that NaN bounds fail too.
    return lower <= upper && std::isfinite(upper - lower);
}

Duration Duration::fallbackForUndrawableRange(const ClosedRange<Duration> &range) {
    detail::reportUnexpectedValue(QStringLiteral("Cannot draw a random duration from %1 s to %2 s")
                                      .arg(range.lowerBound.m_seconds)
                                      .arg(range.upperBound.m_seconds));
    if (std::isnan(range.lowerBound.m_seconds))
        return zero;
    return range.lowerBound;
}

std::uint64_t Duration::drawUnitStep(const std::function<std::uint64_t()> &next64Bits) {
    // A uniform integer in 0...2^53 by multiply-and-reject: 2^64 is not a multiple of 2^53 + 1, so the
    // lowest products would favour some results; redrawing them removes the bias.
    constexpr unsigned __int128 kChoices = kUnitSteps + 1;
    constexpr std::uint64_t kRejectBelowOrAt = kUnitSteps - 2048;
    for (;;) {
        const unsigned __int128 product = static_cast<unsigned __int128>(next64Bits()) * kChoices;
        if (static_cast<std::uint64_t>(product) > kRejectBelowOrAt)
            return static_cast<std::uint64_t>(product >> 64);
    }
}

Duration Duration::pointInRange(const ClosedRange<Duration> &range, std::uint64_t step) {
    if (step == kUnitSteps)
        return range.upperBound;
    const double width = range.upperBound.m_seconds - range.lowerBound.m_seconds;
    return Duration(range.lowerBound.m_seconds + width * static_cast<double>(step) * 0x1p-53);
}

platform::Date dateFromNow(Duration duration) {
    return platform::Date::now().addingTimeInterval(duration.seconds());
}

platform::Date dateSince1970(Duration duration) {
    return platform::Date::fromUnixTime(duration.seconds());
}

platform::Date dateSinceReferenceDate(Duration duration) {
    return platform::Date(duration.seconds());
}

platform::Date dateAfter(const platform::Date &date, Duration duration) {
    return date.addingTimeInterval(duration.seconds());
}

void to_json(nlohmann::json &json, const Duration &duration) {
    json = duration.seconds();
}

void from_json(const nlohmann::json &json, Duration &duration) {
    duration = Duration(json.get<double>());
}

} // namespace kestrova

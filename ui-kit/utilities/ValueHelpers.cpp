#include "ValueHelpers.h"

#include <cmath>
#include <limits>

namespace kestrova {

double rounded(double value, int places, RoundingRule rule) {
    if (places < 0)
        return value;
    double multiplier = 1;
    for (int place = 0; place < places; ++place)
        multiplier *= 10;
    const double scaled = value * multiplier;
    double result = scaled;
    switch (rule) {
    case RoundingRule::toNearestOrAwayFromZero:
        result = std::trunc(scaled + std::copysign(0.49999999999999994, scaled));
        break;
    case RoundingRule::toNearestOrEven:
        result = std::nearbyint(scaled);
        break;
    case RoundingRule::up:
        result = std::ceil(scaled);
        break;
    case RoundingRule::down:
        result = std::floor(scaled);
        break;
    case RoundingRule::towardZero:
        result = std::trunc(scaled);
        break;
    case RoundingRule::awayFromZero:
        result = scaled < 0 ? std::floor(scaled) : std::ceil(scaled);
        break;
    }
    return result / multiplier;
}

std::optional<HoursMinutesSeconds> hoursMinutesSeconds(double seconds) {
    // 2^63 itself is out of range; the bound is exclusive.
    constexpr double kLimit = 9223372036854775808.0;
    if (!std::isfinite(seconds) || seconds >= kLimit || seconds < -kLimit)
        return std::nullopt;
    const auto whole = static_cast<qint64>(seconds);
    return HoursMinutesSeconds{whole / 3600, (whole % 3600) / 60, whole % 60};
}

QString formattedDuration(double seconds, bool alwaysShowHours, bool showSeconds, bool showHoursWhenNeeded) {
    const auto parts = hoursMinutesSeconds(seconds);
    if (!parts)
        return {};
    const bool showsHours = showHoursWhenNeeded ? static_cast<qint64>(seconds) > 3599 : alwaysShowHours;
    const auto twoDigits = [](qint64 number) {
        return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
    };
    if (showsHours) {
        return showSeconds ? twoDigits(parts->hours) + u':' + twoDigits(parts->minutes) + u':' +
                                 twoDigits(parts->seconds)
                           : twoDigits(parts->hours) + u':' + twoDigits(parts->minutes);
    }
    return showSeconds ? twoDigits(parts->minutes) + u':' + twoDigits(parts->seconds)
                       : twoDigits(parts->minutes);
}

bool isInFuture(platform::Date date) {
    return date > platform::Date::now();
}

bool isInPast(platform::Date date) {
    return date < platform::Date::now();
}

QHash<QString, std::optional<QString>> queryItemsDictionary(const QList<QueryItem> &items) {
    QHash<QString, std::optional<QString>> dictionary;
    for (const QueryItem &item : items)
        dictionary.insert(item.name, item.value);
    return dictionary;
}

QHash<QString, QString> compactValues(const QHash<QString, std::optional<QString>> &dictionary) {
    QHash<QString, QString> present;
    for (auto entry = dictionary.cbegin(); entry != dictionary.cend(); ++entry) {
        if (entry.value())
            present.insert(entry.key(), *entry.value());
    }
    return present;
}

platform::Binding<QColor> withDefault(platform::Binding<std::optional<QColor>> binding,
                                      const QColor &defaultColor) {
    return platform::Binding<QColor>([binding, defaultColor] { return binding.get().value_or(defaultColor); },
                                     [binding](const QColor &color) { binding.set(color); });
}

} // namespace kestrova

#pragma once

#include "platform/observation/Binding.h"
#include "platform/values/Date.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QString>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace kestrova {

enum class RoundingRule { toNearestOrAwayFromZero, toNearestOrEven, up, down, towardZero, awayFromZero };

// The value rounded at `places` decimal places; unchanged for a negative number of places.
double rounded(double value, int places, RoundingRule rule = RoundingRule::toNearestOrAwayFromZero);

struct HoursMinutesSeconds {
    qint64 hours = 0;
    qint64 minutes = 0;
    qint64 seconds = 0;
    bool operator==(const HoursMinutesSeconds &) const = default;
};

// The whole seconds of `seconds` split into hours, minutes and seconds; nothing for a value that is not
// finite or lies beyond the range of whole seconds.
std::optional<HoursMinutesSeconds> hoursMinutesSeconds(double seconds);

// Clock text: "01:01:40", "01:40" or "01". Hours show when `showHoursWhenNeeded` is on and there is at
// least one hour, or, with it off, when `alwaysShowHours` is on; hours that do not show are dropped, not
// folded into the minutes. Empty for a value hoursMinutesSeconds cannot split.
QString formattedDuration(double seconds, bool alwaysShowHours = false, bool showSeconds = true,
                          bool showHoursWhenNeeded = false);

// Whether the date is later (earlier) than now; a date equal to now is neither.
bool isInFuture(platform::Date date);
bool isInPast(platform::Date date);

struct QueryItem {
    QString name = {};
    std::optional<QString> value = {};
};

// One entry per name; a later item of the same name replaces the earlier value.
QHash<QString, std::optional<QString>> queryItemsDictionary(const QList<QueryItem> &items);
// The entries whose value is present.
QHash<QString, QString> compactValues(const QHash<QString, std::optional<QString>> &dictionary);

// The elements for which `predicate` answers false, then those for which it answers true, each in order.
// An exception from the predicate stops the walk and is passed on.
template <typename Range, typename Predicate> auto partitioned(const Range &range, Predicate &&predicate) {
    using Element = std::decay_t<decltype(*std::begin(range))>;
    std::pair<std::vector<Element>, std::vector<Element>> parts;
    for (const auto &element : range)
        (predicate(element) ? parts.second : parts.first).push_back(element);
    return parts;
}

// The first present result of `transform` over the elements, in order; nothing when none is present.
template <typename Range, typename Transform> auto firstNonNil(const Range &range, Transform &&transform) {
    using Result = std::invoke_result_t<Transform &, decltype(*std::begin(range))>;
    for (const auto &element : range) {
        if (Result result = transform(element))
            return result;
    }
    return Result{};
}

// A binding to the position of the bound value among `allCases`: -1 for a value that is not one of them
// (a picker then shows no choice); writing a position outside them changes nothing.
template <typename Value>
platform::Binding<int> caseIndexBinding(platform::Binding<Value> binding, std::vector<Value> allCases) {
    return platform::Binding<int>(
        [binding, allCases] {
            const auto found = std::find(allCases.begin(), allCases.end(), binding.get());
            return found == allCases.end() ? -1 : int(found - allCases.begin());
        },
        [binding, allCases](const int &index) {
            if (index >= 0 && std::size_t(index) < allCases.size())
                binding.set(allCases[std::size_t(index)]);
        });
}

// A binding to a colour that reads `defaultColor` while the bound one is absent.
platform::Binding<QColor> withDefault(platform::Binding<std::optional<QColor>> binding,
                                      const QColor &defaultColor);

} // namespace kestrova

#include "ui-kit/utilities/ValueHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

using namespace kestrova;

TEST(ValueHelpersTest, RoundingAndClockText) {
    EXPECT_DOUBLE_EQ(rounded(2.345, 2), 2.35);
    EXPECT_DOUBLE_EQ(rounded(-2.345, 2), -2.35);
    EXPECT_DOUBLE_EQ(rounded(2.345, -1), 2.345);
    EXPECT_DOUBLE_EQ(rounded(2.5, 0, RoundingRule::toNearestOrEven), 2);
    EXPECT_DOUBLE_EQ(rounded(-1.21, 1, RoundingRule::awayFromZero), -1.3);
    EXPECT_DOUBLE_EQ(rounded(-1.29, 1, RoundingRule::towardZero), -1.2);
    EXPECT_DOUBLE_EQ(rounded(1.21, 1, RoundingRule::up), 1.3);
    EXPECT_DOUBLE_EQ(rounded(-1.21, 1, RoundingRule::down), -1.3);

    EXPECT_EQ(formattedDuration(3700, false, true, true), QStringLiteral("01:01:40"));
    EXPECT_EQ(formattedDuration(3700, false, true, false), QStringLiteral("01:40"));
    EXPECT_EQ(formattedDuration(3599, false, true, true), QStringLiteral("59:59"));
    EXPECT_EQ(formattedDuration(65, true, false, false), QStringLiteral("00:01"));
    EXPECT_EQ(formattedDuration(65, false, false, false), QStringLiteral("01"));
    EXPECT_EQ((hoursMinutesSeconds(3700)), (HoursMinutesSeconds{1, 1, 40}));
    // Values that have no whole seconds give no text instead of stopping the program.
    EXPECT_EQ(formattedDuration(std::numeric_limits<double>::quiet_NaN()), QString());
    EXPECT_EQ(formattedDuration(std::numeric_limits<double>::infinity()), QString());
    EXPECT_EQ(formattedDuration(1e300), QString());
    EXPECT_EQ(hoursMinutesSeconds(9223372036854775808.0), std::nullopt);

    EXPECT_TRUE(isInFuture(platform::Date::fromUnixTime(std::time(nullptr) + 3600.0)));
    EXPECT_TRUE(isInPast(platform::Date::fromUnixTime(0)));
    EXPECT_FALSE(isInFuture(platform::Date::fromUnixTime(0)));
}

TEST(ValueHelpersTest, CollectionsAndBindings) {
    const auto dictionary = queryItemsDictionary({{QStringLiteral("subject"), QStringLiteral("first")},
                                                  {QStringLiteral("cc"), std::nullopt},
                                                  {QStringLiteral("subject"), QStringLiteral("second")}});
    EXPECT_EQ(dictionary.value(QStringLiteral("subject")), QStringLiteral("second"));
    EXPECT_EQ(compactValues(dictionary),
              (QHash<QString, QString>{{QStringLiteral("subject"), QStringLiteral("second")}}));

    const std::vector<int> numbers{1, 2, 3, 4, 5};
    const auto [odd, even] = partitioned(numbers, [](int number) { return number % 2 == 0; });
    EXPECT_EQ(odd, (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(even, (std::vector<int>{2, 4}));
    EXPECT_THROW(
        partitioned(numbers, [](int number) -> bool { throw std::runtime_error(std::to_string(number)); }),
        std::runtime_error);
    EXPECT_EQ(firstNonNil(numbers,
                          [](int number) { return number > 2 ? std::optional(number * 10) : std::nullopt; }),
              30);
    EXPECT_EQ(firstNonNil(numbers, [](int) { return std::optional<int>(); }), std::nullopt);

    enum class Kind { small, medium, large, unknown };
    Kind kind = Kind::medium;
    platform::Binding<Kind> binding([&] { return kind; }, [&](const Kind &value) { kind = value; });
    const auto index = caseIndexBinding(binding, {Kind::small, Kind::medium, Kind::large});
    EXPECT_EQ(index.get(), 1);
    index.set(2);
    EXPECT_EQ(kind, Kind::large);
    index.set(7);
    EXPECT_EQ(kind, Kind::large);
    kind = Kind::unknown;
    EXPECT_EQ(index.get(), -1);

    std::optional<QColor> stored;
    const auto color =
        withDefault(platform::Binding<std::optional<QColor>>(
                        [&] { return stored; }, [&](const std::optional<QColor> &value) { stored = value; }),
                    Qt::red);
    EXPECT_EQ(color.get(), QColor(Qt::red));
    color.set(Qt::blue);
    EXPECT_EQ(stored, QColor(Qt::blue));
}

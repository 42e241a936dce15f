#include "foundation/time/Duration.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

using namespace kestrova;

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr qint64 kLargest = std::numeric_limits<qint64>::max();
constexpr qint64 kSmallest = std::numeric_limits<qint64>::min();

// Hands out the given 64-bit values in turn and counts the draws.
struct ScriptedGenerator {
    std::vector<std::uint64_t> values;
    std::size_t draws = 0;
    std::uint64_t operator()() { return values.at(draws++); }
};

} // namespace

TEST(DurationTest, UnitsConvertByTheirLengthInSeconds) {
    EXPECT_EQ(Duration::unitFromRawValue(60), Duration::Unit::minutes);
    EXPECT_EQ(Duration::unitFromRawValue(1e-9), Duration::Unit::nanoseconds);
    EXPECT_EQ(Duration::unitFromRawValue(61), std::nullopt);
    for (const Duration::Unit unit : Duration::allUnits)
        EXPECT_EQ(Duration::unitFromRawValue(Duration::rawValue(unit)), unit);

    EXPECT_DOUBLE_EQ(Duration::milliseconds(1500).seconds(), 1.5);
    EXPECT_EQ(Duration::milliseconds(1500).inMilliseconds(), 1500);
    EXPECT_EQ(Duration::weeks(1).seconds(), 604800);
    EXPECT_EQ(Duration::days(2).seconds(), 172800);
    EXPECT_EQ(Duration::hours(1), Duration::minutes(60));
    EXPECT_EQ(Duration(3, Duration::Unit::minutes).seconds(), 180);
    EXPECT_EQ(Duration::microseconds(qint64(2500)).inMicroseconds(), 2500);
    EXPECT_EQ(Duration::nanoseconds(7).inNanoseconds(), 7);
    EXPECT_EQ(Duration::seconds(2) - Duration::milliseconds(500), Duration::seconds(1.5));
    Duration total = Duration::zero;
    total += Duration::seconds(3);
    total -= Duration::seconds(1);
    EXPECT_EQ(total, Duration::seconds(2));
    EXPECT_LT(Duration::seconds(-1), Duration::zero);
}

TEST(DurationTest, IntegerViewsTruncateAndClampInsteadOfOverflowing) {
    EXPECT_EQ(Duration::seconds(1.9999).inMilliseconds(), 1999);
    EXPECT_EQ(Duration::seconds(-1.9999).inMilliseconds(), -1999);
    EXPECT_EQ(Duration::seconds(kInfinity).inMilliseconds(), kLargest);
    EXPECT_EQ(Duration::seconds(-kInfinity).inNanoseconds(), kSmallest);
    EXPECT_EQ(Duration::seconds(1e300).inMicroseconds(), kLargest);
    EXPECT_EQ(Duration::seconds(kNaN).inMilliseconds(), 0);
    // 9.3e9 s is 9.3e18 ns: just past the 64-bit range.
    EXPECT_EQ(Duration::seconds(9.3e9).inNanoseconds(), kLargest);
}

TEST(DurationTest, NegativeZeroEqualsAndHashesLikeZero) {
    EXPECT_EQ(Duration::seconds(-0.0), Duration::zero);
    EXPECT_EQ(std::hash<Duration>{}(Duration::seconds(-0.0)), std::hash<Duration>{}(Duration::zero));
    EXPECT_NE(Duration::seconds(kNaN), Duration::seconds(kNaN));
}

TEST(DurationTest, SumAddsInOrderFromZero) {
    EXPECT_EQ(Duration::sum(std::vector<Duration>{}), Duration::zero);
    const std::vector<Duration> durations{Duration::seconds(1), Duration::minutes(1),
                                          Duration::milliseconds(500)};
    EXPECT_EQ(Duration::sum(durations), Duration::seconds(61.5));
}

TEST(DurationTest, DispatchIntervalsConvertBothWays) {
    EXPECT_EQ(Duration(DispatchTimeInterval::seconds(3)).seconds(), 3);
    EXPECT_DOUBLE_EQ(Duration(DispatchTimeInterval::milliseconds(250)).seconds(), 0.25);
    EXPECT_DOUBLE_EQ(Duration(DispatchTimeInterval::microseconds(5)).seconds(), 5e-6);
    EXPECT_DOUBLE_EQ(Duration(DispatchTimeInterval::nanoseconds(7)).seconds(), 7e-9);
    EXPECT_EQ(Duration(DispatchTimeInterval::never()).seconds(), kInfinity);

    EXPECT_EQ(Duration::seconds(1.5).dispatchTimeInterval(),
              DispatchTimeInterval::nanoseconds(1'500'000'000));
    EXPECT_EQ(Duration::seconds(-2).dispatchTimeInterval(),
              DispatchTimeInterval::nanoseconds(-2'000'000'000));
    // `never` survives the round trip instead of stopping the process.
    EXPECT_EQ(Duration(DispatchTimeInterval::never()).dispatchTimeInterval(), DispatchTimeInterval::never());
    EXPECT_EQ(Duration::seconds(kNaN).dispatchTimeInterval(), DispatchTimeInterval::nanoseconds(0));
    EXPECT_EQ(Duration::seconds(-kInfinity).dispatchTimeInterval(),
              DispatchTimeInterval::nanoseconds(kSmallest));
}

TEST(DurationTest, RandomDrawsEveryPointOfTheRangeWithoutBias) {
    const ClosedRange<Duration> range{Duration::seconds(10), Duration::seconds(20)};
    // 0 lands in the biased low products and is drawn again; 2^63 is the middle of 0...2^53.
    ScriptedGenerator middle{{0, std::uint64_t(1) << 63}};
    EXPECT_EQ(Duration::random(range, middle), Duration::seconds(15));
    EXPECT_EQ(middle.draws, 2u);
    // The largest draw reaches the upper bound exactly; the smallest accepted one the lower bound.
    ScriptedGenerator top{{std::numeric_limits<std::uint64_t>::max()}};
    EXPECT_EQ(Duration::random(range, top), Duration::seconds(20));
    ScriptedGenerator bottom{{1}};
    EXPECT_EQ(Duration::random(range, bottom), Duration::seconds(10));

    EXPECT_EQ(Duration::random({Duration::seconds(2), Duration::seconds(2)}), Duration::seconds(2));
    for (int draw = 0; draw < 100; ++draw) {
        const Duration value = Duration::random({Duration::seconds(-1), Duration::seconds(1)});
        EXPECT_TRUE(value >= Duration::seconds(-1) && value <= Duration::seconds(1));
    }
}

TEST(DurationTest, RandomFromAnUndrawableRangeGivesItsLowerBound) {
    EXPECT_EQ(Duration::random({Duration::seconds(3), Duration::seconds(2)}), Duration::seconds(3));
    EXPECT_EQ(Duration::random({Duration::seconds(0), Duration::seconds(kInfinity)}), Duration::zero);
    EXPECT_EQ(Duration::random({Duration::seconds(-1e308), Duration::seconds(1e308)}),
              Duration::seconds(-1e308));
    EXPECT_EQ(Duration::random({Duration::seconds(kNaN), Duration::seconds(1)}), Duration::zero);
    ScriptedGenerator unused{{}};
    EXPECT_EQ(Duration::random({Duration::seconds(1), Duration::seconds(kNaN)}, unused),
              Duration::seconds(1));
    EXPECT_EQ(unused.draws, 0u);
}

TEST(DurationTest, StoredFormIsTheBareNumberOfSeconds) {
    const nlohmann::json stored = Duration::milliseconds(1500);
    EXPECT_EQ(stored.dump(), "1.5");
    EXPECT_EQ(nlohmann::json::parse("90").get<Duration>(), Duration::minutes(1.5));
    EXPECT_THROW((void)nlohmann::json::parse(R"({"seconds":1})").get<Duration>(), nlohmann::json::exception);
}

TEST(DurationTest, DatesLieTheDurationAfterTheirOrigin) {
    EXPECT_EQ(dateSince1970(Duration::days(1)).timeIntervalSince1970(), 86400);
    EXPECT_EQ(dateSinceReferenceDate(Duration::hours(1)).timeIntervalSinceReferenceDate(), 3600);
    EXPECT_EQ(
        dateAfter(kestrova::platform::Date(100), Duration::seconds(-40)).timeIntervalSinceReferenceDate(),
        60);
    const auto before = kestrova::platform::Date::now();
    EXPECT_GE(dateFromNow(Duration::minutes(1)), before.addingTimeInterval(60));
}

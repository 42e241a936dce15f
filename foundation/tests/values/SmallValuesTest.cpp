#include "foundation/workspace/BundleIdentifier.h"
#include "foundation/values/ClampedToInt.h"
#include "foundation/collections/ClosedRange.h"
#include "foundation/app/KitBundle.h"
#include "foundation/app/KitUtilities.h"
#include "foundation/collections/ObjectCache.h"
#include "foundation/testing/ReportedErrors.h"
#include "foundation/media/VideoFrameImage.h"
#include "platform/values/Date.h"
#include "platform/values/Measurement.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <limits>
#include <list>
#include <stdexcept>
#include <unordered_set>

using namespace kestrova;
using kestrova::platform::Date;
using kestrova::platform::Measurement;
using kestrova::platform::UnitDuration;

TEST(SmallValuesTest, ClampedToIntRoundsTowardZeroAndSaturates) {
    constexpr qint64 largest = std::numeric_limits<qint64>::max();
    constexpr qint64 smallest = std::numeric_limits<qint64>::min();
    EXPECT_EQ(clampedToInt(3.9), 3);
    EXPECT_EQ(clampedToInt(-3.9), -3);
    EXPECT_EQ(clampedToInt(1e30), largest);
    EXPECT_EQ(clampedToInt(0x1p63), largest);
    EXPECT_EQ(clampedToInt(std::numeric_limits<double>::infinity()), largest);
    EXPECT_EQ(clampedToInt(-1e30), smallest);
    EXPECT_EQ(clampedToInt(-0x1p63), smallest);
    EXPECT_EQ(clampedToInt(-std::numeric_limits<double>::infinity()), smallest);
    EXPECT_EQ(clampedToInt(std::numeric_limits<double>::quiet_NaN()), 0);
    // The largest double below 2^63 still fits and converts exactly.
    EXPECT_EQ(clampedToInt(std::nextafter(0x1p63, 0.0)), qint64(0x7FFFFFFFFFFFFC00));
}

TEST(SmallValuesTest, RangeSpanningTwoDatesStartsAtTheEarlierOne) {
    const Date earlier(100);
    const Date later(200);
    const auto range = ClosedRange<Date>::spanning(later, earlier);
    EXPECT_EQ(range.lowerBound, earlier);
    EXPECT_EQ(range.upperBound, later);
    EXPECT_EQ(ClosedRange<Date>::spanning(earlier, later), range);
    EXPECT_TRUE(range.contains(Date(150)) && range.contains(later));
    EXPECT_FALSE(range.contains(Date(201)));
    EXPECT_EQ(ClosedRange<Date>::spanning(earlier, earlier).upperBound, earlier);
}

TEST(SmallValuesTest, MeasurementsAddInTheBaseUnitWhenUnitsDiffer) {
    const Measurement<UnitDuration> sum = Measurement<UnitDuration>{1, UnitDuration::minutes()} +
                                          Measurement<UnitDuration>{30, UnitDuration::seconds()};
    EXPECT_EQ(sum.unit, UnitDuration::seconds());
    EXPECT_DOUBLE_EQ(sum.value, 90);
    auto minutes = Measurement<UnitDuration>{2, UnitDuration::minutes()};
    minutes -= Measurement<UnitDuration>{1, UnitDuration::minutes()};
    EXPECT_EQ(minutes.unit, UnitDuration::minutes());
    EXPECT_EQ(minutes.value, 1);
    auto total = Measurement<UnitDuration>::zero();
    total += Measurement<UnitDuration>{1, UnitDuration::hours()};
    EXPECT_DOUBLE_EQ(total.value, 3600);
    EXPECT_EQ(total, (Measurement<UnitDuration>{60, UnitDuration::minutes()}));
}

TEST(SmallValuesTest, SmallUtilities) {
    EXPECT_EQ(removingTrailingZeroByte(QByteArray("MacBook\0", 8)), QByteArray("MacBook"));
    EXPECT_EQ(removingTrailingZeroByte(QByteArray("ab\0\0", 4)), QByteArray("ab\0", 3));
    EXPECT_EQ(removingTrailingZeroByte(QByteArray("ab")), QByteArray("ab"));
    EXPECT_EQ(removingTrailingZeroByte(QByteArray()), QByteArray());

    std::list<int> numbers{10, 20, 30};
    EXPECT_EQ(*indexAtOffset(numbers, 2), 30);
    EXPECT_EQ(indexAtOffset(numbers, 3), numbers.end());
    EXPECT_EQ(indexAtOffset(numbers, 99), numbers.end());
    EXPECT_EQ(indexAtOffset(numbers, -4), numbers.begin());

    const std::runtime_error error = reported(std::runtime_error("disk is full"));
    EXPECT_STREQ(error.what(), "disk is full");
    EXPECT_THROW(throw reported(std::logic_error("x")), std::logic_error);
}

TEST(SmallValuesTest, ReportedHandsTheErrorItselfToTheReporter) {
    kestrova::testing::ReportedErrors reports;
    const Error given(QStringLiteral("org.kestrova.Disk"), 28,
                      {{ErrorKey::localizedDescription, QStringLiteral("The disk is full.")}});
    const Error returned = reported(given);
    EXPECT_EQ(returned.domain(), given.domain());

    (void)reported(std::runtime_error("out of range"));
    const QList<Error> errors = reports.errors();
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[0].domain(), QStringLiteral("org.kestrova.Disk"));
    EXPECT_EQ(errors[0].code(), 28);
    EXPECT_EQ(errors[0].localizedDescription(), QStringLiteral("The disk is full."));
    EXPECT_TRUE(errors[1].localizedDescription().contains(QStringLiteral("out of range")))
        << errors[1].localizedDescription().toStdString();
}

TEST(SmallValuesTest, BundleIdentifiersAreStoredAsGiven) {
    const BundleIdentifier identifier("org.kestrova.Kestrova");
    EXPECT_EQ(identifier, BundleIdentifier(QString("org.kestrova.Kestrova")));
    EXPECT_TRUE(BundleIdentifier("a.b") < BundleIdentifier("a.c"));
    EXPECT_EQ(BundleIdentifier::fromRawValue("")->rawValue(), "");
    std::unordered_set<BundleIdentifier> set{identifier, BundleIdentifier("x")};
    EXPECT_TRUE(set.contains(BundleIdentifier("org.kestrova.Kestrova")));

    const nlohmann::json stored = identifier;
    EXPECT_EQ(stored.dump(), R"("org.kestrova.Kestrova")");
    EXPECT_EQ(stored.get<BundleIdentifier>(), identifier);
    EXPECT_THROW((void)nlohmann::json(3).get<BundleIdentifier>(), nlohmann::json::exception);

    EXPECT_FALSE(applicationURLOverride());
    setApplicationURLOverride([](const BundleIdentifier &asked) -> std::optional<QUrl> {
        if (asked.rawValue() == "org.example.Editor")
            return QUrl::fromLocalFile("/usr/share/applications/editor.desktop");
        return std::nullopt;
    });
    const auto lookup = applicationURLOverride();
    ASSERT_TRUE(lookup);
    EXPECT_EQ(lookup(BundleIdentifier("org.example.Editor"))->toLocalFile(),
              "/usr/share/applications/editor.desktop");
    EXPECT_EQ(lookup(BundleIdentifier("org.example.Other")), std::nullopt);
    setApplicationURLOverride({});
    EXPECT_FALSE(applicationURLOverride());
}

TEST(SmallValuesTest, ObjectCacheEvictsTheLeastRecentlyUsed) {
    const auto first = ObjectCache<QString, int>::shared();
    const auto second = ObjectCache<QString, int>::shared();
    EXPECT_NE(first, second);
    first->setObject("a", std::make_shared<int>(1));
    EXPECT_EQ(first->count(), 1);
    EXPECT_EQ(second->count(), 0);
    EXPECT_EQ(*first->object("a"), 1);
    first->setObject("a", nullptr);
    EXPECT_EQ(first->object("a"), nullptr);

    ObjectCache<int, QString> limited("icons", /*totalCostLimit=*/10, /*countLimit=*/2);
    EXPECT_EQ(limited.name(), "icons");
    limited.setObject(1, std::make_shared<QString>("one"));
    limited.setObject(2, std::make_shared<QString>("two"));
    EXPECT_TRUE(limited.object(1)); // 2 is now the least recently used
    limited.setObject(3, std::make_shared<QString>("three"));
    EXPECT_EQ(limited.count(), 2);
    EXPECT_EQ(limited.object(2), nullptr);
    EXPECT_TRUE(limited.object(1) && limited.object(3));

    const auto held = limited.object(1);
    limited.setObject(4, std::make_shared<QString>("four"), /*cost=*/9);
    limited.setObject(5, std::make_shared<QString>("five"), /*cost=*/5);
    EXPECT_EQ(limited.count(), 1);
    EXPECT_TRUE(limited.object(5));
    EXPECT_EQ(*held, "one"); // evicted, yet alive with its holder
    limited.setObject(6, std::make_shared<QString>("huge"), std::numeric_limits<qsizetype>::max());
    limited.setObject(7, std::make_shared<QString>("huge"), std::numeric_limits<qsizetype>::max());
    EXPECT_EQ(limited.count(), 0);
    limited.removeAllObjects();
    EXPECT_EQ(limited.count(), 0);
}

TEST(SmallValuesTest, KitBundleIsTheExecutablesFolder) {
    EXPECT_EQ(QFileInfo(KitBundle::path()).canonicalFilePath(),
              QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath());
    EXPECT_EQ(&KitBundle::path(), &KitBundle::path());
}

TEST(SmallValuesTest, VideoFrameAnswersNoneWithoutAMediaBackend) {
    EXPECT_EQ(videoFrameImage("/nonexistent/movie.mp4", Duration::zero), std::nullopt);
}

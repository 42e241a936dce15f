#include "foundation/values/Bytes.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kestrova;
using kestrova::platform::Measurement;
using kestrova::platform::UnitInformationStorage;

namespace {
constexpr qint64 kLargest = std::numeric_limits<qint64>::max();
constexpr qint64 kSmallest = std::numeric_limits<qint64>::min();
} // namespace

TEST(BytesTest, UnitsAreDecimalAndConvertByTheirSize) {
    EXPECT_EQ(Bytes::unitFromRawValue(0.125), Bytes::Unit::bits);
    EXPECT_EQ(Bytes::unitFromRawValue(1000), Bytes::Unit::kilobytes);
    EXPECT_EQ(Bytes::unitFromRawValue(1024), std::nullopt);
    EXPECT_DOUBLE_EQ(Bytes(1500).value(Bytes::Unit::kilobytes), 1.5);
    EXPECT_DOUBLE_EQ(Bytes(1).value(Bytes::Unit::bits), 8);
    EXPECT_DOUBLE_EQ(Bytes(2'500'000'000).value(Bytes::Unit::gigabytes), 2.5);
}

TEST(BytesTest, ArithmeticClampsAtTheEndsOfTheRange) {
    Bytes count(100);
    count += Bytes(50);
    count -= Bytes(30);
    EXPECT_EQ(count, Bytes(120));
    EXPECT_LT(Bytes(-1), Bytes::zero);
    EXPECT_EQ(Bytes(kLargest) + Bytes(1), Bytes(kLargest));
    EXPECT_EQ(Bytes(kSmallest) + Bytes(-1), Bytes(kSmallest));
    EXPECT_EQ(Bytes(kSmallest) - Bytes(1), Bytes(kSmallest));
    EXPECT_EQ(Bytes(kLargest) - Bytes(-1), Bytes(kLargest));
    EXPECT_EQ(Bytes(0) - Bytes(kSmallest), Bytes(kLargest));
}

TEST(BytesTest, MeasurementsConvertToWholeBytes) {
    const auto measurement = Bytes(1500).measurement();
    EXPECT_DOUBLE_EQ(measurement.converted(UnitInformationStorage::kilobytes()).value, 1.5);
    EXPECT_EQ(Bytes(Measurement<UnitInformationStorage>{2, UnitInformationStorage::kilobytes()}),
              Bytes(2000));
    EXPECT_EQ(Bytes(Measurement<UnitInformationStorage>{12, UnitInformationStorage::bits()}), Bytes(1));
    EXPECT_EQ(Bytes(Measurement<UnitInformationStorage>{1e30, UnitInformationStorage::gigabytes()}),
              Bytes(kLargest));
    EXPECT_EQ(Bytes(Measurement<UnitInformationStorage>{-1e30, UnitInformationStorage::bytes()}),
              Bytes(kSmallest));
    EXPECT_EQ(Bytes(Measurement<UnitInformationStorage>{std::numeric_limits<double>::quiet_NaN(),
                                                        UnitInformationStorage::bytes()}),
              Bytes::zero);
}

TEST(BytesTest, FileSizeTextPicksTheLargestUnitBelowAThousand) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const auto text = [&english](qint64 count) { return Bytes(count).fileSizeText(english); };
    EXPECT_EQ(text(0), "Zero KB");
    EXPECT_EQ(text(1), "1 byte");
    EXPECT_EQ(text(999), "999 bytes");
    EXPECT_EQ(text(1000), "1 KB");
    EXPECT_EQ(text(1500), "2 KB");
    EXPECT_EQ(text(999'499), "999 KB");
    // Rounds to 1000 KB, which reads better one unit up.
    EXPECT_EQ(text(999'500), "1 MB");
    EXPECT_EQ(text(1'500'000), "1.5 MB");
    EXPECT_EQ(text(2'000'000), "2 MB");
    EXPECT_EQ(text(1'234'567'890), "1.23 GB");
    EXPECT_EQ(text(-1), "-1 byte");
    EXPECT_EQ(text(-1'500'000), "-1.5 MB");
    EXPECT_EQ(text(kLargest), "9.22 EB");
    EXPECT_EQ(text(kSmallest), "-9.22 EB");
    EXPECT_EQ(Bytes(1'500'000).fileSizeText(QLocale(QLocale::German, QLocale::Germany)), "1,5 MB");
}

TEST(BytesTest, DebugDescriptionEndsWithTheExactCount) {
    const QString zero = Bytes::zero.debugDescription();
    EXPECT_TRUE(zero.startsWith("Zero")) << zero.toStdString();
    EXPECT_TRUE(zero.endsWith(" (0)")) << zero.toStdString();
    EXPECT_TRUE(Bytes(1'500'000).debugDescription().endsWith(" MB (1500000)"));
}

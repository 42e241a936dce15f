#include "foundation/text/Formatters.h"

#include <gtest/gtest.h>

using namespace kestrova;

TEST(FormattersTest, ByteCountsFollowStyleUnitsAndOptions) {
    ByteCountFormatOptions english;
    english.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(formattedByteCount(0, english), "Zero KB");
    EXPECT_EQ(formattedByteCount(1, english), "1 byte");
    EXPECT_EQ(formattedByteCount(999, english), "999 bytes");
    EXPECT_EQ(formattedByteCount(999'600, english), "1 MB") << "rounding up to a whole next unit moves up";
    EXPECT_EQ(formattedByteCount(1'250'000, english), "1.3 MB");
    EXPECT_EQ(formattedByteCount(-2'500'000'000, english), "-2.5 GB");

    ByteCountFormatOptions memory = english;
    memory.style = ByteCountFormatOptions::Style::memory;
    EXPECT_EQ(formattedByteCount(1024 * 1024, memory), "1 MB");

    ByteCountFormatOptions onlyKilobytes = english;
    onlyKilobytes.allowedUnits = ByteCountFormatOptions::kilobytes;
    onlyKilobytes.includesActualByteCount = true;
    EXPECT_EQ(formattedByteCount(5'000'000, onlyKilobytes), "5,000 KB (5,000,000 bytes)");

    ByteCountFormatOptions numericZero = english;
    numericZero.allowsNonnumericFormatting = false;
    EXPECT_EQ(formattedByteCount(0, numericZero), "0 KB");
    EXPECT_EQ(formattedByteCount(std::numeric_limits<std::int64_t>::min(), english), "-9.22 EB");
}

TEST(FormattersTest, ElapsedTimeAndLanguageNames) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(formattedElapsedTime(3903, english), "1h 5m 3s");
    EXPECT_EQ(formattedElapsedTime(2 * 86400 + 3600, english), "2d 1h");
    EXPECT_EQ(formattedElapsedTime(0.4, english), "0s");
    EXPECT_FALSE(formattedElapsedTime(-1, english));
    EXPECT_FALSE(formattedElapsedTime(std::nan(""), english));

    EXPECT_EQ(englishNameOfLanguage(QLocale(QLocale::German, QLocale::Switzerland)), "German");
    EXPECT_FALSE(englishNameOfLanguage(QLocale::c()));
}

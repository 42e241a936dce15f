#include "foundation/collections/OrderedDictionary.h"
#include "foundation/text/TextFormatting.h"
#include "foundation/text/TextHash.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace kestrova {
namespace {

TEST(TextFormattingTest, RealsPrintInShortestRoundTripForm) {
    const std::vector<std::pair<double, std::string>> cases = {
        {1.0, "1.0"},          {-2.0, "-2.0"},          {12.5, "12.5"},
        {0.1, "0.1"},          {100.0, "100.0"},        {0.001, "0.001"},
        {0.0001, "0.0001"},    {0.00001, "1e-05"},      {1.5e-7, "1.5e-07"},
        {0.0, "0.0"},          {-0.0, "-0.0"},          {1e16, "10000000000000000.0"},
        {1e17, "1e+17"},       {1.25e100, "1.25e+100"}, {5e-324, "5e-324"},
        {std::nan(""), "nan"}, {-INFINITY, "-inf"}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(doubleDescription(value), text);
    for (const double value : {0.1 + 0.2, 1.0 / 3.0, 123456.789e-20, 6.02214076e23})
        EXPECT_EQ(std::stod(doubleDescription(value)), value);
}

TEST(TextFormattingTest, DimensionsAndOptionals) {
    EXPECT_EQ(formattedDimensions(QSizeF(1920, 1080)), QStringLiteral("1920×1080"));
    EXPECT_EQ(formattedDimensions(QSizeF(12.5, 3)), QStringLiteral("12.5×3"));
    EXPECT_EQ(formattedDimensions(QSizeF(0, 1e20)), QStringLiteral("0×100000000000000000000"));

    const std::optional<QString> absent;
    EXPECT_EQ(describeOptional(absent), QStringLiteral("nil"));
    EXPECT_EQ(describeOptional(absent, QStringLiteral("none")), QStringLiteral("none"));
    EXPECT_EQ(describeOptional(std::optional<QString>(QStringLiteral("text"))), QStringLiteral("text"));
    EXPECT_EQ(describeOptional(std::optional<int>(5)), QStringLiteral("5"));
    EXPECT_EQ(describe(platform::Date(0)), QStringLiteral("2001-01-01 00:00:00 +0000"));
    EXPECT_EQ(describe(QByteArray(3, 'x')), QStringLiteral("3 bytes"));
    EXPECT_EQ(describe(false), QStringLiteral("false"));
}

// A container read under a lock offers a snapshot of its pairs.
struct LockedPairs {
    std::vector<std::pair<QString, int>> snapshot() const { return {{QStringLiteral("z"), 1}}; }
};

TEST(TextFormattingTest, KeyValueLinesKeepTheSequenceOrder) {
    OrderedDictionary<QString, int> dictionary;
    dictionary.set(QStringLiteral("b"), 2);
    dictionary.set(QStringLiteral("a"), 1);
    EXPECT_EQ(formattedKeyValueLines(dictionary), QStringLiteral("b: 2\na: 1"));
    EXPECT_EQ(formattedKeyValueLines(OrderedDictionary<QString, int>()), QString());
    const std::map<QString, QString> map = {{QStringLiteral("OS"), QStringLiteral("Linux \"6\"")}};
    EXPECT_EQ(formattedKeyValueLines(map), QStringLiteral("OS: Linux \"6\""));
    EXPECT_EQ(formattedKeyValueLines(LockedPairs()), QStringLiteral("z: 1"));
}

TEST(TextHashTest, Fnv1aIsStable) {
    EXPECT_EQ(fnv1a64(""), 0xcbf29ce484222325ULL);
    EXPECT_EQ(fnv1a64("a"), 0xaf63dc4c8601ec8cULL);
    EXPECT_EQ(static_cast<std::int64_t>(fnv1a64(QStringLiteral("GeneralError"))), 9035575089960055123LL);
    EXPECT_EQ(fnv1a64(QStringLiteral("é")), fnv1a64("\xC3\xA9"));
}

} // namespace
} // namespace kestrova

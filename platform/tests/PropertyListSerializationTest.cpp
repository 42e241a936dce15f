#include "platform/PropertyListSerialization.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kestrova::platform;

namespace {

PropertyListValue roundTrip(const PropertyListValue &value) {
    auto read = PropertyListSerialization::fromXml(PropertyListSerialization::toXml(value));
    EXPECT_TRUE(read.has_value());
    return read.value_or(PropertyListValue());
}

} // namespace

TEST(PropertyListSerializationTest, KeepsEveryKindAndItsExtremes) {
    const PropertyListValue::Dictionary nested{
        {QStringLiteral("inner"), PropertyListValue::Array{PropertyListValue(1), PropertyListValue(true)}}};
    const PropertyListValue::Dictionary root{
        {QStringLiteral("yes"), true},
        {QStringLiteral("one"), 1},
        {QStringLiteral("min"), std::numeric_limits<std::int64_t>::min()},
        {QStringLiteral("max"), std::numeric_limits<std::int64_t>::max()},
        {QStringLiteral("real"), 0.1},
        {QStringLiteral("tiny"), -1e-300},
        {QStringLiteral("text"), QStringLiteral("Ünïcödé 👩‍👩‍👧 <&> ]]>")},
        {QStringLiteral("empty"), QString()},
        {QStringLiteral("data"), QByteArray("\0\x01\xff", 3)},
        {QStringLiteral("date"), Date(-86400.0 * 365 * 30)},
        {QStringLiteral("nested"), nested},
        {QStringLiteral("emptyArray"), PropertyListValue::Array{}},
        {QStringLiteral("emptyDictionary"), PropertyListValue::Dictionary{}},
    };
    const PropertyListValue read = roundTrip(root);
    EXPECT_EQ(read, PropertyListValue(root)) << read.debugDescription().toStdString();
    // A Boolean must not come back as the integer 1, nor an integer as a real.
    const auto &dictionary = *read.getIf<PropertyListValue::Dictionary>();
    EXPECT_EQ(dictionary.at(QStringLiteral("yes")).kind(), PropertyListValue::Kind::boolean);
    EXPECT_EQ(dictionary.at(QStringLiteral("one")).kind(), PropertyListValue::Kind::integer);
    EXPECT_EQ(dictionary.at(QStringLiteral("real")).kind(), PropertyListValue::Kind::real);
}

TEST(PropertyListSerializationTest, ControlCharactersNeverMakeAnUnreadableFile) {
    const PropertyListValue::Dictionary root{
        {QStringLiteral("key\x01"), QStringLiteral("a\x02"
                                                   "b\tc\nd")},
        {QStringLiteral("lone surrogate"), QString(QChar(0xD800))},
    };
    const PropertyListValue read = roundTrip(root);
    const auto &dictionary = *read.getIf<PropertyListValue::Dictionary>();
    EXPECT_EQ(dictionary.at(QStringLiteral("key\uFFFD")),
              PropertyListValue(QStringLiteral("a\uFFFDb\tc\nd")));
    EXPECT_TRUE(dictionary.contains(QStringLiteral("lone surrogate")));
}

TEST(PropertyListSerializationTest, DamagedInputGivesNothing) {
    EXPECT_FALSE(PropertyListSerialization::fromXml(QByteArray()));
    EXPECT_FALSE(PropertyListSerialization::fromXml("not a property list"));
    EXPECT_FALSE(PropertyListSerialization::fromXml("<?xml version=\"1.0\"?><plist><dict><key>a</key>"));
    EXPECT_FALSE(PropertyListSerialization::fromXml(QByteArray(4096, '\xff')));
}

TEST(PropertyListSerializationTest, AZeroByteInsideTextIsReadNotFatal) {
    // A zero byte is no XML, but a damaged file may hold one; reading it used to stop the process. The text
    // ends at that byte, and the rest of the file is read.
    const QByteArray xml = QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>name</key>"
                                      "<string>a") +
                           '\0' + QByteArray("b</string><key>count</key><integer>3</integer></dict></plist>");
    ASSERT_EQ(xml.count('\0'), 1);
    const auto root = PropertyListSerialization::fromXml(xml);
    ASSERT_TRUE(root);
    const auto &entries = *root->getIf<PropertyListValue::Dictionary>();
    EXPECT_EQ(entries.at(QStringLiteral("count")), PropertyListValue(3));
    EXPECT_EQ(entries.at(QStringLiteral("name")), PropertyListValue(QStringLiteral("a")));
    const auto alone = PropertyListSerialization::fromXml(QByteArray("<string>") + '\0' + "</string>");
    ASSERT_TRUE(alone);
    EXPECT_EQ(*alone, PropertyListValue(QString()));
}

#include "platform/defaults/PropertyListSerialization.h"

#include <QDateTime>

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

TEST(PropertyListSerializationTest, ReadsWhatOtherWritersProduceAndSaysWhatItChanged) {
    const QByteArray body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                            "\t<key>r</key>\n\t<real>2.5E-3</real>\n"
                            "\t<key>inf</key>\n\t<real>-infinity</real>\n"
                            "\t<key>d</key>\n\t<data>\n\tAAH/\n\t</data>\n"
                            "\t<key>when</key>\n\t<date>2096-03-01T12:30:05Z</date>\n"
                            "</dict>\n</plist>\n";
    const auto read = PropertyListSerialization::read(QByteArray("\xEF\xBB\xBF") + body);
    ASSERT_TRUE(read.root) << read.problem.toStdString();
    const auto &dictionary = *read.root->getIf<PropertyListValue::Dictionary>();
    EXPECT_EQ(dictionary.at(QStringLiteral("r")), PropertyListValue(0.0025));
    EXPECT_EQ(dictionary.at(QStringLiteral("inf")),
              PropertyListValue(-std::numeric_limits<double>::infinity()));
    EXPECT_EQ(dictionary.at(QStringLiteral("d")), PropertyListValue(QByteArray("\0\x01\xff", 3)));
    EXPECT_EQ(dictionary.at(QStringLiteral("when")),
              PropertyListValue(Date::fromDateTime(QDateTime(QDate(2096, 3, 1), QTime(12, 30, 5), Qt::UTC))));
    EXPECT_TRUE(read.changes.isEmpty());

    // A key given twice reads, and says so; a count beyond the signed range (another program's) is a sound
    // value that reads and writes back as the integer it is.
    const auto changed = PropertyListSerialization::read(
        "<plist><dict><key>a</key><integer>1</integer><key>a</key><integer>2</integer>"
        "<key>big</key><integer>18446744073709551615</integer></dict></plist>");
    ASSERT_TRUE(changed.root);
    const auto &entries = *changed.root->getIf<PropertyListValue::Dictionary>();
    EXPECT_EQ(entries.at(QStringLiteral("a")), PropertyListValue(2));
    EXPECT_EQ(entries.at(QStringLiteral("big")),
              PropertyListValue::unsignedInteger(std::numeric_limits<std::uint64_t>::max()));
    EXPECT_EQ(changed.changes.size(), 1);
    EXPECT_TRUE(PropertyListSerialization::toXml(*changed.root)
                    .contains("<key>big</key><integer>18446744073709551615</integer>"));
    EXPECT_EQ(roundTrip(*changed.root), *changed.root);
    EXPECT_EQ(PropertyListValue::unsignedInteger(7), PropertyListValue(7));

    // Entities: the predefined ones and character references resolve; one that only an outside DTD could
    // declare is kept as written, never dropped from the text, and said.
    const auto entities = PropertyListSerialization::read(
        "<!DOCTYPE plist PUBLIC \"-//Example//DTD PLIST 1.0//EN\" "
        "\"http://example.com/PropertyList-1.0.dtd\">"
        "<plist><dict><key>title</key><string>Tom &amp; &me; &#233;&lt;</string></dict></plist>");
    ASSERT_TRUE(entities.root) << entities.problem.toStdString();
    EXPECT_EQ(entities.root->getIf<PropertyListValue::Dictionary>()->at(QStringLiteral("title")),
              PropertyListValue(QStringLiteral("Tom & &me; \u00e9<")));
    ASSERT_EQ(entities.changes.size(), 1);
    EXPECT_TRUE(entities.changes[0].contains(QStringLiteral("&me;")));
    EXPECT_FALSE(PropertyListSerialization::read("<plist><string>a<b/></string></plist>").root);
}

TEST(PropertyListSerializationTest, DepthIsBoundedAndTheWrittenTextDoesNotGrowWithIt) {
    PropertyListValue nested(1);
    for (int level = 1; level < PropertyListSerialization::kMaximumDepth; ++level)
        nested = PropertyListValue(PropertyListValue::Array{nested});
    const QByteArray xml = PropertyListSerialization::toXml(nested);
    EXPECT_EQ(roundTrip(nested), nested);
    // Each level costs its two tags and nothing more.
    EXPECT_LT(xml.size(),
              PropertyListSerialization::kMaximumDepth * qsizetype(sizeof("<array></array>")) + 100);

    const PropertyListValue deeper(PropertyListValue::Array{nested});
    EXPECT_FALSE(PropertyListSerialization::unwritableReason(deeper).isEmpty());
    EXPECT_TRUE(PropertyListSerialization::toXml(deeper).isEmpty());
    const QByteArray tooDeep = "<plist>" + QByteArray("<array>").repeated(100000) + "</plist>";
    const auto read = PropertyListSerialization::read(tooDeep);
    EXPECT_FALSE(read.root);
    EXPECT_TRUE(read.problem.contains(QStringLiteral("nested"))) << read.problem.toStdString();
}

TEST(PropertyListSerializationTest, AZeroByteInsideTextIsReportedNotFatal) {
    // A zero byte is no XML, but a damaged file may hold one: it is a file that cannot be read as it is, said
    // so, never a stopped process.
    const QByteArray xml = QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>name</key>"
                                      "<string>a") +
                           '\0' + QByteArray("b</string><key>count</key><integer>3</integer></dict></plist>");
    ASSERT_EQ(xml.count('\0'), 1);
    const auto read = PropertyListSerialization::read(xml);
    EXPECT_FALSE(read.root);
    EXPECT_FALSE(read.problem.isEmpty());
    EXPECT_FALSE(PropertyListSerialization::fromXml(QByteArray("<string>") + '\0' + "</string>"));
}

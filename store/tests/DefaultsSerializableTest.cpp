#include "store/AnySerializable.h"
#include "store/Defaults.h"
#include "store/DefaultsMigration.h"
#include "store/SecureCodingSerializable.h"

#include "platform/testing/InMemorySuite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <unordered_set>

using namespace kestrova;
using namespace kestrova::Defaults;
using platform::PropertyListValue;

namespace {

// A small record stored as JSON text, like the application's folders.
struct Record {
    QString path;
    double weight = 1;

    Json toJson() const { return Json{{"path", kestrova::toJson(path)}, {"weight", weight}}; }
    static Record fromJson(const Json &json) {
        return {kestrova::fromJson<QString>(requiredMember(json, "path")),
                kestrova::fromJson<double>(requiredMember(json, "weight"))};
    }
    bool operator==(const Record &) const = default;
};

enum class Order { name, date };

} // namespace

template <> struct kestrova::Defaults::Serializable<Record> : CodableSerializable<Record> {};

template <> struct kestrova::Defaults::RawValueTraits<Order> {
    using RawValue = QString;
    static RawValue rawValue(Order order) {
        return order == Order::name ? QStringLiteral("name") : QStringLiteral("date");
    }
    static std::optional<Order> fromRawValue(const RawValue &raw) {
        if (raw == QStringLiteral("name"))
            return Order::name;
        if (raw == QStringLiteral("date"))
            return Order::date;
        return std::nullopt;
    }
};
template <> struct kestrova::Defaults::Serializable<Order> : RawRepresentableSerializable<Order> {};

TEST(DefaultsSerializableTest, RecordsAreStoredAsTheirOwnJsonText) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<std::vector<Record>> records(QStringLiteral("records"), {}, suite);
    set(records, {{QStringLiteral("/home/a b"), 0.5}, {QStringLiteral("ü"), 2}});
    const auto stored = suite->object(QStringLiteral("records"));
    ASSERT_TRUE(stored);
    const auto &texts = *stored->getIf<PropertyListValue::Array>();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], PropertyListValue(QStringLiteral(R"({"path":"\/home\/a b","weight":0.5})")));
    EXPECT_EQ(get(records),
              (std::vector<Record>{{QStringLiteral("/home/a b"), 0.5}, {QStringLiteral("ü"), 2}}));

    // One unreadable record drops only itself.
    suite->setObject(
        PropertyListValue(PropertyListValue::Array{
            texts[0], PropertyListValue(QStringLiteral("{nope")),
            PropertyListValue(QStringLiteral(R"({"path":1,"weight":1})")), PropertyListValue(7), texts[1]}),
        QStringLiteral("records"));
    EXPECT_EQ(get(records).size(), 2u);

    // A record that JSON cannot hold has no stored form: the reason is printed and the record left out.
    ::testing::internal::CaptureStdout();
    set(records, {{QStringLiteral("x"), std::nan("")}, {QStringLiteral("y"), 1}});
    EXPECT_NE(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(get(records), (std::vector<Record>{{QStringLiteral("y"), 1}}));

    // As a single value it has no stored form at all, so the entry goes.
    const Key<std::optional<Record>> single(QStringLiteral("single"), std::nullopt, suite);
    set(single, std::optional<Record>(Record{QStringLiteral("z"), 1}));
    ::testing::internal::CaptureStdout();
    set(single, std::optional<Record>(Record{QStringLiteral("z"), std::nan("")}));
    ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(suite->object(QStringLiteral("single")));
}

TEST(DefaultsSerializableTest, JsonTextUnderNativeKinds) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<int> number(QStringLiteral("n"), -1, suite);
    suite->setObject(PropertyListValue(QStringLiteral("1,2")), QStringLiteral("n"));
    EXPECT_EQ(get(number), 1);
    suite->setObject(PropertyListValue(QString()), QStringLiteral("n"));
    EXPECT_EQ(get(number), -1);
    suite->setObject(PropertyListValue(2.0), QStringLiteral("n"));
    EXPECT_EQ(get(number), 2);
    suite->setObject(PropertyListValue(2.5), QStringLiteral("n"));
    EXPECT_EQ(get(number), -1);
    const Key<double> real(QStringLiteral("r"), 0, suite);
    suite->setObject(PropertyListValue(3), QStringLiteral("r"));
    EXPECT_EQ(get(real), 3.0);
}

TEST(DefaultsSerializableTest, RawValuesMapsSetsAndIdentifiers) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<std::map<QString, Order>> orders(QStringLiteral("orders"), {}, suite);
    set(orders, {{QStringLiteral("file:///a/"), Order::date}});
    EXPECT_EQ(suite->object(QStringLiteral("orders")),
              PropertyListValue(
                  PropertyListValue::Dictionary{{QStringLiteral("file:///a/"), QStringLiteral("date")}}));
    // An order written by a newer build names no case here: that entry alone is left out.
    suite->setObject(
        PropertyListValue(PropertyListValue::Dictionary{{QStringLiteral("a"), QStringLiteral("date")},
                                                        {QStringLiteral("b"), QStringLiteral("size")}}),
        QStringLiteral("orders"));
    EXPECT_EQ(get(orders), (std::map<QString, Order>{{QStringLiteral("a"), Order::date}}));

    const Key<std::set<int>> numbers(QStringLiteral("set"), {}, suite);
    suite->setObject(PropertyListValue(PropertyListValue::Array{3, 1, 2, 1}), QStringLiteral("set"));
    EXPECT_EQ(get(numbers), (std::set<int>{1, 2, 3}));

    const QUuid uuid = QUuid::createUuid();
    const Key<std::optional<QUuid>> id(QStringLiteral("id"), std::nullopt, suite);
    set(id, std::optional<QUuid>(uuid));
    EXPECT_EQ(suite->string(QStringLiteral("id")), uuid.toString(QUuid::WithoutBraces).toUpper());
    suite->setObject(PropertyListValue(uuid.toString(QUuid::WithoutBraces).toLower()), QStringLiteral("id"));
    EXPECT_EQ(get(id), uuid);
    suite->setObject(PropertyListValue(QStringLiteral("not-a-uuid")), QStringLiteral("id"));
    EXPECT_EQ(get(id), std::nullopt);

    const Key<std::optional<QUrl>> url(QStringLiteral("url"), std::nullopt, suite);
    const QUrl folder = QUrl::fromLocalFile(QStringLiteral("/tmp/a b#c/"));
    set(url, std::optional<QUrl>(folder));
    EXPECT_EQ(get(url), folder);
}

TEST(DefaultsSerializableTest, AnySerializableComparesByKindAndContents) {
    EXPECT_TRUE(AnySerializable(std::nullopt).representsNil());
    EXPECT_NE(AnySerializable(1), AnySerializable(true));
    EXPECT_NE(AnySerializable(1), AnySerializable(1.0));
    EXPECT_NE(AnySerializable::array({"a"}), AnySerializable("a"));
    const auto left = AnySerializable::dictionary({{QStringLiteral("x"), 1}, {QStringLiteral("y"), "t"}});
    const auto right = AnySerializable::dictionary({{QStringLiteral("y"), "t"}, {QStringLiteral("x"), 1}});
    EXPECT_EQ(left, right);
    EXPECT_EQ(left.hash(), right.hash());
    EXPECT_EQ(AnySerializable(0.0).hash(), AnySerializable(-0.0).hash());
    std::unordered_set<AnySerializable> distinct{AnySerializable(1), AnySerializable(1),
                                                 AnySerializable(true)};
    EXPECT_EQ(distinct.size(), 2u);

    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<AnySerializable> any(QStringLiteral("any"), AnySerializable(), suite);
    set(any, AnySerializable::array({1, "two"}));
    EXPECT_EQ(get(any).get<std::vector<QString>>(), std::vector<QString>{QStringLiteral("two")});
    set(any, AnySerializable());
    EXPECT_FALSE(suite->object(QStringLiteral("any")));
    AnySerializable holder;
    holder.set(std::vector<int>{4});
    EXPECT_EQ(holder.get<std::vector<int>>(), std::vector<int>{4});
}

TEST(DefaultsSerializableTest, MigrationRewritesLegacyJsonTextOnce) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<std::map<QString, QByteArray>> bookmarks(QStringLiteral("bookmarks"), {}, suite);
    suite->setObject(PropertyListValue(QStringLiteral(R"({"file:\/\/\/a\/":"AQI=","file:///b/":"Aw=="})")),
                     QStringLiteral("bookmarks"));
    EXPECT_TRUE(get(bookmarks).empty()) << "text is not read as a map before migration";
    migrate<std::map<QString, QByteArray>>({&bookmarks}, Version::v5);
    const PropertyListValue migrated(
        PropertyListValue::Dictionary{{QStringLiteral("file:///a/"), QByteArray("\x01\x02")},
                                      {QStringLiteral("file:///b/"), QByteArray("\x03")}});
    EXPECT_EQ(suite->object(QStringLiteral("bookmarks")), migrated);
    migrate<std::map<QString, QByteArray>>({&bookmarks}, Version::v5);
    EXPECT_EQ(suite->object(QStringLiteral("bookmarks")), migrated);

    suite->setObject(PropertyListValue(QStringLiteral("abc")), QStringLiteral("bookmarks"));
    migrate<std::map<QString, QByteArray>>({&bookmarks}, Version::v5);
    EXPECT_EQ(suite->object(QStringLiteral("bookmarks")), PropertyListValue(QStringLiteral("abc")));

    const Key<QString> text(QStringLiteral("text"), QString(), suite);
    suite->setObject(PropertyListValue(QStringLiteral("\"quoted\"")), QStringLiteral("text"));
    migrate<QString>({&text}, Version::v5);
    EXPECT_EQ(suite->object(QStringLiteral("text")), PropertyListValue(QStringLiteral("quoted")));
    suite->setObject(PropertyListValue(QStringLiteral("plain")), QStringLiteral("text"));
    migrate<QString>({&text}, Version::v5);
    EXPECT_EQ(suite->object(QStringLiteral("text")), PropertyListValue(QStringLiteral("plain")));
    EXPECT_EQ(versionFromRawValue(5), Version::v5);
    EXPECT_FALSE(versionFromRawValue(4));
}

namespace {

PropertyListValue randomValue(std::mt19937 &random, int depth) {
    switch (random() % (depth > 2 ? 6 : 8)) {
    case 0:
        return PropertyListValue(random() % 2 == 0);
    case 1:
        return PropertyListValue(static_cast<std::int64_t>(random()) - (1LL << 31) * (random() % 3));
    case 2:
        return PropertyListValue(std::ldexp(double(random()), int(random() % 200) - 100));
    case 3: {
        static const char *const texts[] = {"",         "[",     "1,2",  "{\"path\":\"x\",\"weight\":1}",
                                            "null",     "\"s\"", "true", "[[[[",
                                            "\xff\xfe", "name",  "1e999"};
        return PropertyListValue(QString::fromUtf8(texts[random() % std::size(texts)]));
    }
    case 4:
        return PropertyListValue(QByteArray(int(random() % 8), char(random())));
    case 5:
        return PropertyListValue(platform::Date(double(random())));
    case 6: {
        PropertyListValue::Array array;
        for (int count = int(random() % 4); count > 0; --count)
            array.push_back(randomValue(random, depth + 1));
        return PropertyListValue(std::move(array));
    }
    default: {
        PropertyListValue::Dictionary dictionary;
        for (int count = int(random() % 4); count > 0; --count)
            dictionary.insert_or_assign(QString::number(random() % 5), randomValue(random, depth + 1));
        return PropertyListValue(std::move(dictionary));
    }
    }
}

} // namespace

TEST(DefaultsSerializableTest, ReadingArbitraryStoredValuesNeverFailsLoudly) {
    std::mt19937 random(20261208);
    std::size_t readBack = 0;
    for (int round = 0; round < 3000; ++round) {
        const PropertyListValue stored = randomValue(random, 0);
        readBack += valueFromStored<bool>(stored).has_value();
        readBack += valueFromStored<std::int16_t>(stored).has_value();
        readBack += valueFromStored<std::uint32_t>(stored).has_value();
        readBack += valueFromStored<QString>(stored).has_value();
        readBack += valueFromStored<std::vector<Record>>(stored).has_value();
        readBack += valueFromStored<std::map<QString, Order>>(stored).has_value();
        readBack += valueFromStored<std::set<QString>>(stored).has_value();
        readBack += valueFromStored<std::optional<QUuid>>(stored).has_value();
        readBack += valueFromStored<AnySerializable>(stored).has_value();
    }
    // The generator reaches every kind, so some of each read back.
    EXPECT_GT(readBack, 3000u);
}

TEST(DefaultsSerializableTest, ColoursAndImagesReadOnlyFromAnArchiveOfTheirOwnClass) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<std::optional<platform::Color>> colour(QStringLiteral("colour"), std::nullopt, suite);
    const platform::Color teal(0, 0.5, 0.5, 0.75);
    set(colour, std::optional<platform::Color>(teal));
    ASSERT_TRUE(suite->object(QStringLiteral("colour"))->is<QByteArray>());
    EXPECT_EQ(get(colour), teal);

    // An image archive under a colour key is refused silently; damaged bytes say why on standard output.
    QImage pixels(2, 2, QImage::Format_ARGB32);
    pixels.fill(Qt::green);
    suite->setObject(
        platform::PropertyListValue(platform::KeyedArchive::archive(*platform::Image::fromQImage(pixels))),
        QStringLiteral("colour"));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(get(colour), std::nullopt);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    suite->setObject(platform::PropertyListValue(QByteArray("KVAR\x01\x05"
                                                            "Color\x00",
                                                            12)),
                     QStringLiteral("colour"));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(get(colour), std::nullopt);
    EXPECT_NE(::testing::internal::GetCapturedStdout(), "");

    const Key<std::optional<platform::Image>> image(QStringLiteral("image"), std::nullopt, suite);
    set(image, platform::Image::fromQImage(pixels));
    ASSERT_TRUE(get(image));
    EXPECT_EQ(get(image)->toQImage().pixelColor(1, 1), QColor(Qt::green));
}

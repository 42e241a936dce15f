#include "foundation/json/DecodableDefault.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace kestrova {
namespace {

enum class IconKind { symbol, custom };

struct IconKindDefault {
    using Value = IconKind;
    static constexpr IconKind defaultValue = IconKind::symbol;
};

} // namespace

template <> struct JsonCoding<IconKind> {
    static Json encode(IconKind kind) { return kind == IconKind::symbol ? "symbol" : "custom"; }
    static IconKind decode(const Json &json) {
        const QString text = JsonCoding<QString>::decode(json);
        if (text == QLatin1String("symbol"))
            return IconKind::symbol;
        if (text == QLatin1String("custom"))
            return IconKind::custom;
        throw DecodingError::dataCorrupted({}, QStringLiteral("Unknown icon kind"));
    }
};

namespace {

// A record in the shape of the stored folder: an old member, two newer tolerant ones and a newer enumeration.
struct Record {
    QString name;
    DecodableDefault::Wrapper<DecodableDefault::Sources::True> isVisible;
    DecodableDefault::Wrapper<DecodableDefault::Sources::False> showHiddenItems;
    DecodableDefault::Wrapper<IconKindDefault> iconType;

    bool operator==(const Record &) const = default;

    Json toJson() const {
        Json object = Json::object();
        object["name"] = kestrova::toJson(name);
        object["isVisible"] = isVisible.toJson();
        object["showHiddenItems"] = showHiddenItems.toJson();
        object["iconType"] = iconType.toJson();
        return object;
    }
    static Record fromJson(const Json &json) {
        return {JsonCoding<QString>::decode(requiredMember(json, "name")),
                decltype(isVisible)::decode(json, "isVisible"),
                decltype(showHiddenItems)::decode(json, "showHiddenItems"),
                decltype(iconType)::decode(json, "iconType")};
    }
};

TEST(DecodableDefaultTest, MissingOrNullMembersTakeTheDefault) {
    const auto record = decodeJsonValue<Record>(R"({"name":"a"})");
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->isVisible);
    EXPECT_FALSE(record->showHiddenItems);
    EXPECT_EQ(record->iconType.wrappedValue, IconKind::symbol);

    const auto withNulls =
        decodeJsonValue<Record>(R"({"name":"a","isVisible":null,"showHiddenItems":null,"iconType":null})");
    ASSERT_TRUE(withNulls);
    EXPECT_EQ(*withNulls, *record);

    const auto stored = decodeJsonValue<Record>(R"({"name":"a","isVisible":false,"iconType":"custom"})");
    ASSERT_TRUE(stored);
    EXPECT_FALSE(stored->isVisible);
    EXPECT_EQ(stored->iconType.wrappedValue, IconKind::custom);
}

TEST(DecodableDefaultTest, WrongKindsStillFailTheRecord) {
    EXPECT_FALSE(decodeJsonValue<Record>(R"({"name":"a","isVisible":"yes"})"));
    EXPECT_FALSE(decodeJsonValue<Record>(R"({"name":"a","isVisible":1})"));
    EXPECT_FALSE(decodeJsonValue<Record>(R"({"name":"a","iconType":"sfSymbol"})"));
    EXPECT_FALSE(decodeJsonValue<Record>(R"({"isVisible":true})"));
    EXPECT_THROW(
        DecodableDefault::Wrapper<DecodableDefault::Sources::True>::decode(Json::array(), "isVisible"),
        DecodingError);
    EXPECT_THROW(DecodableDefault::Wrapper<DecodableDefault::Sources::True>::decode(
                     Json::object({{"isVisible", "true"}}), "isVisible"),
                 DecodingError);

    EXPECT_EQ(decodeOrDefault(Json::object({{"limit", nullptr}}), "limit", 7), 7);
    EXPECT_EQ(decodeOrDefault(Json::object({{"limit", 3}}), "limit", 7), 3);
    EXPECT_THROW(decodeOrDefault(Json::object({{"limit", "3"}}), "limit", 7), DecodingError);
}

TEST(DecodableDefaultTest, DefaultsAreWrittenAsBareValuesAndRoundTrip) {
    Record record{QStringLiteral("a/b"), {}, {}, {}};
    EXPECT_EQ(encodeJsonValue(record),
              R"({"name":"a\/b","isVisible":true,"showHiddenItems":false,"iconType":"symbol"})");

    record.showHiddenItems = true;
    record.iconType = IconKind::custom;
    const auto decoded = decodeJsonValue<Record>(encodeJsonValue(record));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, record);

    using TrueWrapper = DecodableDefault::Wrapper<DecodableDefault::Sources::True>;
    std::unordered_set<TrueWrapper> wrappers{TrueWrapper(), TrueWrapper(true), TrueWrapper(false)};
    EXPECT_EQ(wrappers.size(), 2u);
    EXPECT_EQ(std::hash<TrueWrapper>{}(TrueWrapper(false)), std::hash<bool>{}(false));
}

} // namespace
} // namespace kestrova

#include "foundation/json/JsonCoding.h"

#include <gtest/gtest.h>

#include <limits>

namespace kestrova {
namespace {

template <typename T> bool decodes(const char *text) {
    return decodeJson<T>(std::string_view(text)).has_value();
}

TEST(JsonCodingTest, ReadingIsStrictAboutKindsAndRanges) {
    EXPECT_EQ(decodeJson<bool>(std::string_view("true")), true);
    EXPECT_FALSE(decodes<bool>("1"));
    EXPECT_FALSE(decodes<bool>("\"true\""));
    EXPECT_FALSE(decodes<int>("true"));
    EXPECT_FALSE(decodes<int>("\"5\""));
    EXPECT_EQ(decodeJson<int>(std::string_view("2.0")), 2);
    EXPECT_FALSE(decodes<int>("2.5"));
    EXPECT_FALSE(decodes<std::int8_t>("128"));
    EXPECT_EQ(decodeJson<std::int8_t>(std::string_view("-128")), -128);
    EXPECT_FALSE(decodes<unsigned>("-1"));
    EXPECT_FALSE(decodes<std::int64_t>("1e30"));
    EXPECT_FALSE(decodes<std::int64_t>("9223372036854775808"));
    EXPECT_FALSE(decodes<std::int64_t>("9223372036854775808.0"));
    EXPECT_EQ(decodeJson<std::int64_t>(std::string_view("-9223372036854775808")),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(decodeJson<std::uint64_t>(std::string_view("18446744073709551615")),
              std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(decodeJson<double>(std::string_view("3")), 3.0);
    EXPECT_FALSE(decodes<float>("1e300"));
    EXPECT_FALSE(decodes<double>("null"));
    EXPECT_EQ(decodeJson<QString>(std::string_view(R"("a\/b é")")), QStringLiteral("a/b é"));
    EXPECT_FALSE(decodes<QString>("5"));
    EXPECT_FALSE(decodes<int>("{"));
}

TEST(JsonCodingTest, DataIsStrictBase64AndDatesAreSecondsSince2001) {
    const QByteArray bytes("\xfb\xff\xfe-data", 8);
    EXPECT_EQ(JsonText::encode(toJson(bytes)), R"("+\/\/+LWRhdGE=")");
    EXPECT_EQ(decodeJsonValue<QByteArray>(encodeJsonValue(bytes)), bytes);
    EXPECT_EQ(decodeJsonValue<QByteArray>(R"("")"), QByteArray());
    for (const char *bad : {R"("QUI")", R"("QU=I")", R"("QUJD\n")", R"("QU I=")", R"("Q===")", "5"})
        EXPECT_FALSE(decodeJsonValue<QByteArray>(bad)) << bad;

    const platform::Date date(694224000.5);
    EXPECT_EQ(encodeJsonValue(date), "694224000.5");
    EXPECT_EQ(decodeJsonValue<platform::Date>("694224000.5"), date);
    EXPECT_EQ(decodeJsonValue<platform::Date>("-1"), platform::Date(-1));
    EXPECT_FALSE(decodeJsonValue<platform::Date>(R"("2001-01-01")"));
}

TEST(JsonCodingTest, ListsAndOptionals) {
    const std::vector<std::optional<QString>> values = {QStringLiteral("a"), std::nullopt,
                                                        QStringLiteral("/")};
    EXPECT_EQ(encodeJsonValue(values), R"(["a",null,"\/"])");
    EXPECT_EQ(decodeJsonValue<std::vector<std::optional<QString>>>(R"(["a",null,"\/"])"), values);
    // One bad element fails the whole list.
    EXPECT_FALSE(decodeJsonValue<std::vector<int>>("[1,\"2\"]"));
    EXPECT_FALSE(decodeJsonValue<std::vector<int>>("{}"));
}

TEST(JsonCodingTest, RequiredMembersAndTheirErrors) {
    const Json object = Json::object({{"present", nullptr}});
    EXPECT_TRUE(requiredMember(object, "present").is_null());
    try {
        requiredMember(object, "missing", {QStringLiteral("outer")});
        FAIL() << "a missing member must throw";
    } catch (const DecodingError &error) {
        EXPECT_EQ(error.kind(), DecodingError::Kind::keyNotFound);
        EXPECT_EQ(error.codingPath(), QStringList{QStringLiteral("outer")});
        EXPECT_TRUE(error.debugDescription().contains(QStringLiteral("\"missing\"")));
    }
    try {
        requiredMember(Json::array(), "key");
        FAIL() << "an array is not an object";
    } catch (const DecodingError &error) {
        EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch);
    }
}

} // namespace
} // namespace kestrova

#include "foundation/json/JsonText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kestrova {
namespace {

std::string encodeString(std::string_view utf8) {
    return JsonText::encode(Json(std::string(utf8)));
}

TEST(JsonTextTest, StringsEscapeSlashesQuotesAndControlCharacters) {
    EXPECT_EQ(encodeString("a/b//c"), R"("a\/b\/\/c")");
    EXPECT_EQ(encodeString(R"(say "hi" \ there)"), R"("say \"hi\" \\ there")");
    EXPECT_EQ(encodeString("\b\f\n\r\t"), R"("\b\f\n\r\t")");
    EXPECT_EQ(encodeString(std::string("\x00\x01\x1f", 3)), R"("\u0000\u0001\u001f")");
    // DEL and everything past ASCII stay as they are.
    EXPECT_EQ(encodeString("\x7f"), "\"\x7f\"");
    EXPECT_EQ(encodeString("é – 😀 \u2028"), "\"é – 😀 \u2028\"");
    EXPECT_EQ(encodeString(""), R"("")");
    // Base64 text in records carries slashes; they come out escaped and read back unchanged.
    const std::string text = JsonText::encode(Json::object({{"url/key", "ab+/cd=="}}));
    EXPECT_EQ(text, R"({"url\/key":"ab+\/cd=="})");
    EXPECT_EQ(JsonText::decode(text)->at("url/key"), "ab+/cd==");
}

TEST(JsonTextTest, InvalidUtf8IsAnEncodingError) {
    for (const std::string &bad :
         {std::string("\xC0\xAF"), std::string("\xED\xA0\x80"), std::string("a\xE2\x82"),
          std::string("\xF4\x90\x80\x80"), std::string("\xFF"), std::string("\x80")}) {
        EXPECT_THROW(encodeString(bad), JsonEncodingError);
        EXPECT_THROW(JsonText::encode(Json::object({{bad, 1}})), JsonEncodingError);
    }
    EXPECT_EQ(encodeString("\xF4\x8F\xBF\xBF"), "\"\xF4\x8F\xBF\xBF\"");
}

TEST(JsonTextTest, NumbersAndLiterals) {
    const auto encodeNumber = [](double number) { return JsonText::encode(Json(number)); };
    EXPECT_EQ(JsonText::encode(Json(42)), "42");
    EXPECT_EQ(JsonText::encode(Json(-7)), "-7");
    EXPECT_EQ(JsonText::encode(Json(std::numeric_limits<std::uint64_t>::max())), "18446744073709551615");
    EXPECT_EQ(JsonText::encode(Json(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
    EXPECT_EQ(encodeNumber(1.0), "1");
    EXPECT_EQ(encodeNumber(-0.0), "-0");
    EXPECT_EQ(encodeNumber(0.1), "0.1");
    EXPECT_EQ(encodeNumber(12.5), "12.5");
    EXPECT_EQ(encodeNumber(694224000.25), "694224000.25");
    EXPECT_EQ(encodeNumber(0.0001), "0.0001");
    EXPECT_EQ(encodeNumber(0.00001), "1e-05");
    EXPECT_EQ(encodeNumber(1.5e300), "1.5e+300");
    EXPECT_EQ(encodeNumber(1e16), "10000000000000000");
    EXPECT_EQ(encodeNumber(1e17), "1e+17");
    EXPECT_EQ(encodeNumber(1.0 / 3.0), "0.3333333333333333");
    EXPECT_THROW(encodeNumber(std::nan("")), JsonEncodingError);
    EXPECT_THROW(encodeNumber(std::numeric_limits<double>::infinity()), JsonEncodingError);
    EXPECT_EQ(JsonText::encode(Json::array({true, false, nullptr})), "[true,false,null]");
    // Compact, and members keep the order they were written in.
    EXPECT_EQ(
        JsonText::encode(Json::object({{"z", 1}, {"a", Json::array({2.5, "x"})}, {"m", Json::object()}})),
        R"({"z":1,"a":[2.5,"x"],"m":{}})");
}

TEST(JsonTextTest, DecodingFailsSoftly) {
    EXPECT_EQ(JsonText::decode(std::string_view(R"({"a":"x\/y","b":[1,2.5,true,null]})"))->dump(),
              R"({"a":"x/y","b":[1,2.5,true,null]})");
    for (const char *bad :
         {"", " ", "{", "[1,]", "{\"a\"}", "tru", "01", "1 2", "\"\\ud800\"", "\"\\udc00x\"", "\"\xC3\"",
          "\"\xED\xA0\x80\"", "\"a\nb\"", "1e999", "[-1e400]", "\"\\u12\"", "nan"}) {
        EXPECT_FALSE(JsonText::decode(std::string_view(bad))) << bad;
    }
    EXPECT_EQ(JsonText::decode(std::string_view(R"("\ud83d\ude00")"))->get<std::string>(), "😀");

    std::string deep(JsonText::kMaximumDepth, '[');
    deep += std::string(JsonText::kMaximumDepth, ']');
    EXPECT_TRUE(JsonText::decode(deep));
    EXPECT_FALSE(JsonText::decode("[" + deep + "]"));
    // Far past the limit nothing is parsed, so the stack is never at risk.
    EXPECT_FALSE(JsonText::decode(std::string(1'000'000, '[')));
    EXPECT_FALSE(JsonText::decode(std::string(1'000'000, '{')));
    // Brackets inside strings do not count.
    EXPECT_TRUE(JsonText::decode("\"" + std::string(10'000, '[') + "\""));

    const std::string huge(8 * 1024 * 1024, 'x');
    const auto hugeValue = JsonText::decode("\"" + huge + "\"");
    ASSERT_TRUE(hugeValue);
    EXPECT_EQ(hugeValue->get_ref<const std::string &>().size(), huge.size());

    Json tooDeep = Json::array();
    for (int level = 0; level < JsonText::kMaximumDepth + 1; ++level)
        tooDeep = Json::array({std::move(tooDeep)});
    EXPECT_THROW(JsonText::encode(tooDeep), JsonEncodingError);
}

TEST(JsonTextTest, StoredValuesDropAndRestoreTheArrayBrackets) {
    EXPECT_EQ(JsonText::encodeStoredValue(Json("a/b")), R"("a\/b")");
    EXPECT_EQ(JsonText::decodeStoredValue(R"("a\/b")"), Json("a/b"));
    EXPECT_EQ(JsonText::decodeStoredValue("1,2"), Json(1));
    EXPECT_EQ(JsonText::decodeStoredValue(R"({"a":1})"), Json::object({{"a", 1}}));
    EXPECT_FALSE(JsonText::decodeStoredValue(""));
    EXPECT_FALSE(JsonText::decodeStoredValue("1],[2"));
    EXPECT_FALSE(JsonText::decodeStoredValue("]"));
    EXPECT_FALSE(JsonText::decodeStoredValue("{"));
}

} // namespace
} // namespace kestrova

#include "foundation/collections/Either.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unordered_set>

namespace kestrova {
namespace {

using Choice = Either<int, QString>;

void expectInvalidKeyCount(const char *text) {
    const std::optional<Json> json = JsonText::decode(std::string_view(text));
    ASSERT_TRUE(json) << text;
    try {
        Choice::fromJson(*json);
        ADD_FAILURE() << text << " must not decode";
    } catch (const DecodingError &error) {
        EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch) << text;
        EXPECT_EQ(error.debugDescription(), QStringLiteral("Invalid number of keys found, expected one."))
            << text;
    }
}

TEST(EitherTest, JsonFormIsFixed) {
    EXPECT_EQ(encodeJsonValue(Choice::left(5)), R"({"left":{"_0":5}})");
    EXPECT_EQ(encodeJsonValue(Choice::right(QStringLiteral("a/b"))), R"({"right":{"_0":"a\/b"}})");
    for (const Choice &value : {Choice::left(-3), Choice::right(QStringLiteral("x"))})
        EXPECT_EQ(decodeJsonValue<Choice>(encodeJsonValue(value)), value);
    // Unknown keys are not counted.
    EXPECT_EQ(decodeJsonValue<Choice>(R"({"other":1,"left":{"_0":7,"_1":2}})"), Choice::left(7));
    // The same payload type on both sides keeps the side.
    using Same = Either<int, int>;
    EXPECT_EQ(decodeJsonValue<Same>(encodeJsonValue(Same::right(1))), Same::right(1));
    EXPECT_NE(Same::left(1), Same::right(1));
}

TEST(EitherTest, DecodingErrors) {
    expectInvalidKeyCount(R"({"left":{"_0":1},"right":{"_0":"x"}})");
    expectInvalidKeyCount("{}");
    expectInvalidKeyCount(R"({"Left":{"_0":1}})");
    try {
        Choice::fromJson(Json::object({{"left", Json::object({{"_1", 1}})}}));
        FAIL() << "a missing payload must throw";
    } catch (const DecodingError &error) {
        EXPECT_EQ(error.kind(), DecodingError::Kind::keyNotFound);
        EXPECT_EQ(error.codingPath(), QStringList{QStringLiteral("left")});
    }
    EXPECT_FALSE(decodeJsonValue<Choice>(R"({"left":5})"));
    EXPECT_FALSE(decodeJsonValue<Choice>(R"({"left":{"_0":"five"}})"));
    EXPECT_FALSE(decodeJsonValue<Choice>("[]"));
}

TEST(EitherTest, LeftsSortFirstThenByPayload) {
    std::vector<Either<int, int>> values = {Either<int, int>::right(1), Either<int, int>::left(9),
                                            Either<int, int>::right(-5), Either<int, int>::left(2)};
    std::sort(values.begin(), values.end());
    const std::vector<Either<int, int>> expected = {Either<int, int>::left(2), Either<int, int>::left(9),
                                                    Either<int, int>::right(-5), Either<int, int>::right(1)};
    EXPECT_EQ(values, expected);
    using Same = Either<int, int>;
    EXPECT_FALSE(Same::left(2) < Same::left(2));
    EXPECT_TRUE(Same::left(2) <= Same::left(2));
    EXPECT_TRUE(Same::right(-9) > Same::left(100));

    std::unordered_set<Either<int, int>> set{Either<int, int>::left(1), Either<int, int>::right(1),
                                             Either<int, int>::left(1)};
    EXPECT_EQ(set.size(), 2u);
}

} // namespace
} // namespace kestrova

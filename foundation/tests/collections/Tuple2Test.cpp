#include "foundation/collections/Tuple2.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace kestrova {
namespace {

TEST(Tuple2Test, JsonFormRoundTripsAndNeedsBothMembers) {
    const Tuple2<int, QString> tuple{5, QStringLiteral("a/b")};
    EXPECT_EQ(encodeJsonValue(tuple), R"({"first":5,"second":"a\/b"})");
    EXPECT_EQ(decodeJsonValue<decltype(tuple)>(encodeJsonValue(tuple)), tuple);
    // Member order and extra members do not matter when reading.
    EXPECT_EQ((decodeJsonValue<Tuple2<int, QString>>(R"({"second":"x","extra":[],"first":1})")),
              (Tuple2<int, QString>{1, QStringLiteral("x")}));

    try {
        Tuple2<int, QString>::fromJson(Json::object({{"first", 1}}));
        FAIL() << "a missing member must throw";
    } catch (const DecodingError &error) {
        EXPECT_EQ(error.kind(), DecodingError::Kind::keyNotFound);
        EXPECT_TRUE(error.debugDescription().contains(QStringLiteral("\"second\"")));
    }
    EXPECT_FALSE((decodeJsonValue<Tuple2<int, QString>>(R"({"first":"1","second":"x"})")));
    EXPECT_FALSE((decodeJsonValue<Tuple2<int, QString>>("[1,\"x\"]")));

    // nlohmann's own conversions reach the same form.
    const Json json = Tuple2<bool, double>{true, 0.5};
    EXPECT_EQ(JsonText::encode(json), R"({"first":true,"second":0.5})");
    EXPECT_EQ((json.get<Tuple2<bool, double>>()), (Tuple2<bool, double>{true, 0.5}));
}

TEST(Tuple2Test, EqualityAndHashingSeeBothComponentsInOrder) {
    using Pair = Tuple2<int, QString>;
    EXPECT_EQ((Pair{1, QStringLiteral("a")}), (Pair{1, QStringLiteral("a")}));
    EXPECT_NE((Pair{1, QStringLiteral("a")}), (Pair{1, QStringLiteral("b")}));
    EXPECT_NE((Pair{1, QStringLiteral("a")}), (Pair{2, QStringLiteral("a")}));
    std::unordered_set<Tuple2<int, int>> set{{1, 2}, {2, 1}, {1, 2}};
    EXPECT_EQ(set.size(), 2u);
    const std::hash<Tuple2<int, int>> hash;
    EXPECT_NE(hash({1, 2}), hash({2, 1}));
}

} // namespace
} // namespace kestrova

#include "foundation/collections/OrderedDictionary.h"

#include <gtest/gtest.h>

#include <map>
#include <unordered_set>

namespace kestrova {
namespace {

using Dictionary = OrderedDictionary<QString, int>;

QStringList keysOf(const Dictionary &dictionary) {
    QStringList keys;
    for (const auto &[key, value] : dictionary)
        keys.append(key + QLatin1Char('=') + QString::number(value));
    return keys;
}

TEST(OrderedDictionaryTest, KeysKeepTheirFirstPlaceUntilRemoved) {
    Dictionary dictionary;
    dictionary.set(QStringLiteral("b"), 2);
    dictionary.set(QStringLiteral("a"), 1);
    dictionary.set(QStringLiteral("c"), 3);
    dictionary.set(QStringLiteral("b"), 20);
    EXPECT_EQ(keysOf(dictionary), (QStringList{"b=20", "a=1", "c=3"}));

    dictionary.remove(QStringLiteral("b"));
    dictionary.remove(QStringLiteral("absent"));
    dictionary.set(QStringLiteral("b"), std::optional<int>(4));
    EXPECT_EQ(keysOf(dictionary), (QStringList{"a=1", "c=3", "b=4"}));
    dictionary.set(QStringLiteral("a"), std::optional<int>());
    EXPECT_EQ(keysOf(dictionary), (QStringList{"c=3", "b=4"}));
    EXPECT_EQ(dictionary.size(), 2u);
    EXPECT_FALSE(dictionary.contains(QStringLiteral("a")));
    EXPECT_EQ(dictionary.value(QStringLiteral("b")), 4);
    EXPECT_EQ(dictionary.value(QStringLiteral("a")), std::nullopt);
    EXPECT_EQ(dictionary.find(QStringLiteral("a")), nullptr);

    // A sequence with a repeated key keeps the first place and the last value.
    const std::vector<std::pair<QString, int>> pairs = {{"x", 1}, {"y", 2}, {"x", 3}};
    const Dictionary fromPairs(pairs.begin(), pairs.end());
    EXPECT_EQ(keysOf(fromPairs), (QStringList{"x=3", "y=2"}));

    // Positions walk both ways; copies are independent.
    auto position = fromPairs.end();
    --position;
    EXPECT_EQ(position->key, QStringLiteral("y"));
    EXPECT_EQ(fromPairs.elementAt(0).value, 3);
    Dictionary copy = fromPairs;
    copy.set(QStringLiteral("z"), 9);
    EXPECT_EQ(fromPairs.size(), 2u);
}

TEST(OrderedDictionaryTest, EqualityAndHashingSeeTheOrder) {
    const Dictionary forward = {{"a", 1}, {"b", 2}};
    Dictionary backward;
    backward.set(QStringLiteral("b"), 2);
    backward.set(QStringLiteral("a"), 1);
    EXPECT_NE(forward, backward);
    EXPECT_EQ(forward, (Dictionary{{"a", 1}, {"b", 2}}));
    EXPECT_NE(forward, (Dictionary{{"a", 1}, {"b", 3}}));

    std::unordered_set<OrderedDictionary<int, int>> set{{{1, 2}, {3, 4}}, {{1, 2}, {3, 4}}, {{3, 4}, {1, 2}}};
    EXPECT_EQ(set.size(), 2u);
}

TEST(OrderedDictionaryTest, TextForm) {
    EXPECT_EQ(Dictionary().description(), QStringLiteral("[:]"));
    EXPECT_EQ((Dictionary{{"version", 1}}).description(), QStringLiteral("[\"version\": 1]"));
    const OrderedDictionary<QString, QString> texts = {{"b", "say \"x\""}, {"a", "1"}};
    EXPECT_EQ(texts.description(), QStringLiteral("[\"b\": \"say \"x\"\", \"a\": \"1\"]"));
    const OrderedDictionary<int, double> numbers = {{2, 1.0}, {1, 0.5}};
    EXPECT_EQ(numbers.description(), QStringLiteral("[2: 1.0, 1: 0.5]"));
}

TEST(OrderedDictionaryDeathTest, ProgrammingErrorsStop) {
    EXPECT_DEATH((Dictionary{{"a", 1}, {"a", 2}}), "repeats a key");
    const auto moveBackFromTheStart = [] {
        const Dictionary dictionary = {{"a", 1}};
        auto position = dictionary.begin();
        --position;
    };
    EXPECT_DEATH(moveBackFromTheStart(), "move back");
}

} // namespace
} // namespace kestrova

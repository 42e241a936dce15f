#include "foundation/values/EnumCaseMap.h"
#include "foundation/collections/IndexedCollection.h"
#include "foundation/collections/NeighborSequence.h"

#include <QString>

#include <gtest/gtest.h>

#include <list>
#include <sstream>
#include <string>
#include <vector>

using namespace kestrova;

namespace {

enum class Fruit { apple, banana, cherry, damson };

using Triple = std::tuple<std::optional<std::string>, std::string, std::optional<std::string>>;

template <typename Range> std::vector<Triple> triples(Range &&range) {
    std::vector<Triple> result;
    for (const auto &neighbors : NeighborSequence(std::forward<Range>(range)))
        result.emplace_back(neighbors.previous, neighbors.current, neighbors.next);
    return result;
}

} // namespace

template <> struct kestrova::EnumCases<Fruit> {
    static constexpr std::array all{Fruit::apple, Fruit::banana, Fruit::cherry, Fruit::damson};
};

TEST(CollectionAdaptorsTest, NeighborSequenceGivesEachElementWithItsNeighbours) {
    EXPECT_TRUE(triples(std::vector<std::string>{}).empty());
    EXPECT_EQ(triples(std::vector<std::string>{"a"}),
              (std::vector<Triple>{{std::nullopt, "a", std::nullopt}}));
    const std::list<std::string> letters{"a", "b", "c"};
    EXPECT_EQ(triples(letters),
              (std::vector<Triple>{{std::nullopt, "a", "b"}, {"a", "b", "c"}, {"b", "c", std::nullopt}}));

    // A single-pass source is read once, one element ahead.
    std::istringstream input("1 2 3");
    std::vector<std::tuple<std::optional<int>, int, std::optional<int>>> numbers;
    for (const auto &neighbors : NeighborSequence(std::views::istream<int>(input)))
        numbers.emplace_back(neighbors.previous, neighbors.current, neighbors.next);
    ASSERT_EQ(numbers.size(), 3u);
    EXPECT_EQ(numbers[1], std::make_tuple(std::optional(1), 2, std::optional(3)));
    EXPECT_EQ(numbers[2], std::make_tuple(std::optional(2), 3, std::optional<int>()));
}

TEST(CollectionAdaptorsTest, EnumCaseMapIteratesInDeclarationOrder) {
    EnumCaseMap<Fruit, QString> names(
        {{Fruit::damson, "D"}, {Fruit::apple, "A"}, {Fruit::cherry, "C"}, {Fruit::banana, "B"}});
    QString visited;
    for (const auto &[fruit, name] : names)
        visited += name;
    EXPECT_EQ(visited, "ABCD");
    EXPECT_EQ(names.size(), 4);
    EXPECT_EQ(names.element(2).key, Fruit::cherry);

    names[Fruit::banana] += "b";
    names.set(Fruit::apple, "a");
    EXPECT_EQ(names[Fruit::banana], "Bb");
    EXPECT_EQ(std::as_const(names)[Fruit::apple], "a");
    std::vector<QString> values = names.values();
    std::ranges::sort(values);
    EXPECT_EQ(values, (std::vector<QString>{"Bb", "C", "D", "a"}));
}

TEST(CollectionAdaptorsTest, EnumCaseMapLeavesOutCasesWithoutPositions) {
    const EnumCaseMap<Fruit, int> counts({{Fruit::apple, 1}, {Fruit::damson, 4}},
                                         {Fruit::banana, Fruit::cherry});
    EXPECT_EQ(counts.cases(), (std::vector<Fruit>{Fruit::apple, Fruit::damson}));
    std::vector<int> visited;
    for (const auto element : counts)
        visited.push_back(element.value);
    EXPECT_EQ(visited, (std::vector<int>{1, 4}));
}

TEST(CollectionAdaptorsTest, EnumCaseMapWithoutAValueForACaseStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH((EnumCaseMap<Fruit, int>({{Fruit::apple, 1}})), "EnumCaseMap has no value");
}

TEST(CollectionAdaptorsTest, IndexedCollectionPairsElementsWithPositions) {
    std::vector<QString> names{"first", "second", "third"};
    std::vector<std::pair<qsizetype, QString>> pairs;
    for (const auto &[index, name] : IndexedCollection(names))
        pairs.emplace_back(index, name);
    EXPECT_EQ(pairs, (std::vector<std::pair<qsizetype, QString>>{{0, "first"}, {1, "second"}, {2, "third"}}));

    // A named list is referred to, so elements can be changed through it.
    for (auto element : IndexedCollection(names))
        element.element += QString::number(element.index);
    EXPECT_EQ(names[2], "third2");

    IndexedCollection owned(std::vector<int>{5, 6, 7});
    EXPECT_EQ(owned.size(), 3);
    EXPECT_EQ(owned[1].index, 1);
    EXPECT_EQ(owned[1].element, 6);
    EXPECT_EQ(IndexedCollection(std::vector<int>{}).begin(), IndexedCollection(std::vector<int>{}).end());
}

#include "foundation/collections/OrderedSet.h"

#include <QString>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(OrderedSetTest, FirstOccurrenceKeepsItsPlace) {
    OrderedSet<int> set = {3, 1, 3, 2, 1};
    EXPECT_EQ(set.elements(), (std::vector<int>{3, 1, 2}));
    EXPECT_FALSE(set.append(1));
    EXPECT_TRUE(set.append(7));
    EXPECT_EQ(set[3], 7);
    EXPECT_TRUE(set.contains(2));

    EXPECT_EQ(set.remove(1), 1);
    EXPECT_EQ(set.remove(1), std::nullopt);
    EXPECT_EQ(set.elements(), (std::vector<int>{3, 2, 7}));
    EXPECT_TRUE(set.append(1));
    EXPECT_EQ(set.elements(), (std::vector<int>{3, 2, 7, 1}));

    EXPECT_EQ(set.removeFirst(), 3);
    EXPECT_EQ(set.removeLast(), 1);
    EXPECT_FALSE(set.contains(3));
    EXPECT_FALSE(set.contains(1));
    EXPECT_TRUE(set.append(3));
    EXPECT_EQ(set.elements(), (std::vector<int>{2, 7, 3}));

    OrderedSet<int> copy = set;
    set.removeAll(/*keepCapacity=*/true);
    EXPECT_TRUE(set.isEmpty());
    EXPECT_FALSE(set.contains(2));
    EXPECT_EQ(copy.size(), 3u);
    set.append(5);
    copy.removeAll();
    EXPECT_TRUE(copy.isEmpty());
    EXPECT_EQ(set.elements(), std::vector<int>{5});
}

TEST(OrderedSetTest, EqualitySeesTheOrder) {
    EXPECT_EQ((OrderedSet<QString>{"a", "b"}), (OrderedSet<QString>{"a", "b", "a"}));
    EXPECT_NE((OrderedSet<QString>{"a", "b"}), (OrderedSet<QString>{"b", "a"}));
}

TEST(OrderedSetDeathTest, RemovingFromAnEmptySetStops) {
    EXPECT_DEATH(OrderedSet<int>().removeFirst(), "empty");
    EXPECT_DEATH(OrderedSet<int>().removeLast(), "empty");
}

} // namespace
} // namespace kestrova

#include "foundation/collections/WeakArray.h"

#include <QObject>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

struct StatusItem {
    int id = 0;
};

TEST(WeakArrayTest, FreedObjectsKeepTheirPositionUntilPruned) {
    auto first = std::make_shared<StatusItem>(StatusItem{1});
    auto second = std::make_shared<StatusItem>(StatusItem{2});
    auto third = std::make_shared<StatusItem>(StatusItem{3});
    WeakArray<StatusItem> items = {first, second, third};
    EXPECT_EQ(second.use_count(), 1) << "the array must not keep its objects alive";

    second.reset();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], first);
    EXPECT_EQ(items[1], nullptr);
    EXPECT_EQ(items[2], third);
    std::vector<int> seen;
    for (const auto &item : items)
        seen.push_back(item ? item->id : 0);
    EXPECT_EQ(seen, (std::vector<int>{1, 0, 3}));
    EXPECT_EQ(items.liveElements(), (std::vector<std::shared_ptr<StatusItem>>{first, third}));

    // A registry appends on creation and prunes the boxes of freed items.
    auto fourth = std::make_shared<StatusItem>(StatusItem{4});
    items.storage.emplace_back(fourth);
    first.reset();
    EXPECT_EQ(items.removeGone(), 2u);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0], third);
    EXPECT_EQ(items[1], fourth);
    EXPECT_EQ(items.removeGone(), 0u);
    items.storage.erase(items.storage.begin());
    EXPECT_EQ(items.liveElements(), std::vector<std::shared_ptr<StatusItem>>{fourth});
}

TEST(WeakArrayTest, QObjectsAreHeldThroughQPointer) {
    auto *kept = new QObject;
    auto *freed = new QObject;
    WeakArray<QObject> objects = {kept, freed};
    delete freed;
    EXPECT_EQ(objects.liveElements(), std::vector<QObject *>{kept});
    EXPECT_EQ(objects[1], nullptr);
    EXPECT_EQ(objects.removeGone(), 1u);
    delete kept;
    EXPECT_TRUE(objects.liveElements().empty());
}

} // namespace
} // namespace kestrova

#include "foundation/collections/Box.h"
#include "foundation/collections/LazyBox.h"
#include "foundation/collections/MutableBox.h"
#include "foundation/collections/WeakBox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <unordered_set>

namespace kestrova {
namespace {

TEST(BoxTest, BoxesPassComparisonsAndTextThroughToTheValue) {
    const Box<int> five(5);
    EXPECT_EQ(five.debugDescription(), QStringLiteral("Box(5)"));
    EXPECT_EQ(five.description(), QStringLiteral("5"));
    EXPECT_EQ(Box<QString>(QStringLiteral("a")).debugDescription(), QStringLiteral("Box(a)"));
    EXPECT_EQ(five, Box<int>(5));
    EXPECT_LT(Box<int>(4), five);
    EXPECT_GE(five, Box<int>(5));
    EXPECT_EQ(std::hash<Box<int>>{}(five), std::hash<int>{}(5));

    // Every holder of a shared MutableBox sees a write.
    const auto shared = std::make_shared<MutableBox<int>>(5);
    const auto holder = shared;
    EXPECT_EQ(holder->debugDescription(), QStringLiteral("MutableBox(5)"));
    shared->setWrappedValue(6);
    EXPECT_EQ(holder->wrappedValue(), 6);
    EXPECT_GT(*holder, MutableBox<int>(5));
}

TEST(BoxTest, LazyBoxProducesOnceUnderConcurrentFirstReads) {
    std::atomic<int> producerRuns = 0;
    LazyBox<std::vector<int>> box([&producerRuns] {
        ++producerRuns;
        return std::vector<int>(1000, 7);
    });
    EXPECT_EQ(producerRuns, 0) << "nothing is produced before the first read";

    constexpr int kReaders = 8;
    std::latch start(kReaders);
    std::atomic<int> wrongReads = 0;
    std::vector<std::jthread> readers;
    for (int reader = 0; reader < kReaders; ++reader) {
        readers.emplace_back([&] {
            start.arrive_and_wait();
            for (int read = 0; read < 100; ++read) {
                if (box.wrappedValue().size() != 1000 || box.wrappedValue()[999] != 7)
                    ++wrongReads;
            }
        });
    }
    readers.clear();
    EXPECT_EQ(producerRuns, 1);
    EXPECT_EQ(wrongReads, 0);

    LazyBox<int> one([] { return 1; });
    LazyBox<int> two([] { return 2; });
    EXPECT_LT(one, two);
    EXPECT_NE(one, two);
    EXPECT_EQ(std::hash<LazyBox<int>>{}(two), std::hash<int>{}(2));
}

struct Item {
    int rank = 0;
    QString title;
    bool operator==(const Item &other) const { return rank == other.rank; }
    bool operator<(const Item &other) const { return rank < other.rank; }
};

TEST(BoxTest, WeakBoxesCompareByTheirObjectsWhileTheyLive) {
    auto first = std::make_shared<Item>(Item{1, QStringLiteral("a")});
    auto second = std::make_shared<Item>(Item{1, QStringLiteral("b")});
    const WeakBox<Item> firstBox(first);
    WeakBox<Item> secondBox(second);
    EXPECT_EQ(firstBox, secondBox);
    EXPECT_FALSE(firstBox.isGone());

    second.reset();
    EXPECT_TRUE(secondBox.isGone());
    EXPECT_EQ(secondBox.wrappedValue(), nullptr);
    EXPECT_NE(firstBox, secondBox);
    EXPECT_EQ(secondBox, WeakBox<Item>()) << "two empty boxes are equal";
    // Empty boxes sort before live ones, so the order stays strict.
    EXPECT_TRUE(secondBox < firstBox);
    EXPECT_FALSE(firstBox < secondBox);
    EXPECT_FALSE(secondBox < WeakBox<Item>());

    // Member access reaches the object only while it lives.
    EXPECT_EQ(firstBox.value(&Item::title), QStringLiteral("a"));
    EXPECT_EQ(secondBox.value(&Item::title), std::nullopt);
    WeakBox<Item> writable(first);
    writable.setValue(&Item::title, std::optional<QString>(QStringLiteral("z")));
    writable.setValue(&Item::title, std::optional<QString>());
    EXPECT_EQ(first->title, QStringLiteral("z"));
    secondBox.setValue(&Item::rank, std::optional<int>(4));
    secondBox.setWrappedValue(first);
    EXPECT_EQ(secondBox.value(&Item::rank), 1);
    secondBox.setWrappedValue(nullptr);
    EXPECT_TRUE(secondBox.isGone());

    auto *object = new QObject;
    const WeakBox<QObject> objectBox(object);
    EXPECT_EQ(objectBox.wrappedValue(), object);
    delete object;
    EXPECT_TRUE(objectBox.isGone());
    EXPECT_EQ(objectBox.wrappedValue(), nullptr);
}

} // namespace
} // namespace kestrova

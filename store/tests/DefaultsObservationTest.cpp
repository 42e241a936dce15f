#include "store/DefaultsObservation.h"
#include "store/DefaultsPublisher.h"
#include "store/DefaultsUpdates.h"

#include "platform/testing/InMemorySuite.h"

#include "platform/testing/EventLoop.h"

#include <QObject>

#include <gtest/gtest.h>

using namespace kestrova;
using namespace kestrova::Defaults;
using platform::PropertyListValue;

TEST(DefaultsObservationTest, OptionsAskForOldAndNewPlusInitialOrPrior) {
    EXPECT_EQ(ObservationOptions{}.suiteOptions(), 3u);
    EXPECT_EQ((ObservationOptions{ObservationOption::initial}).suiteOptions(), 7u);
    EXPECT_EQ((ObservationOptions{ObservationOption::prior}).suiteOptions(), 11u);
    EXPECT_EQ((ObservationOptions{ObservationOption::initial, ObservationOption::prior}).suiteOptions(), 7u);
}

TEST(DefaultsObservationTest, TypedChangesReadMissingAndUnreadableValuesAsTheDefault) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<std::vector<int>> key(QStringLiteral("list"), {9}, suite);
    std::vector<KeyChange<std::vector<int>>> changes;
    auto observation = observe<std::vector<int>>(
        key, {ObservationOption::initial},
        [&](const KeyChange<std::vector<int>> &change) { changes.push_back(change); });
    set(key, {1});
    suite->setObject(PropertyListValue(QStringLiteral("not a list")), QStringLiteral("list"));
    key.reset();
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[0].newValue, std::vector<int>{9});
    EXPECT_EQ(changes[1].oldValue, std::vector<int>{9});
    EXPECT_EQ(changes[1].newValue, std::vector<int>{1});
    EXPECT_EQ(changes[2].newValue, std::vector<int>{9});
    EXPECT_EQ(changes[3].newValue, std::vector<int>{9});

    observation->invalidate();
    observation->invalidate();
    set(key, {2});
    EXPECT_EQ(changes.size(), 4u);
}

TEST(DefaultsObservationTest, WritesInsideRunWithoutNotifyingReachNoObservation) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<int> key(QStringLiteral("n"), 0, suite);
    int calls = 0;
    auto observation = observe<int>(key, {}, [&](const KeyChange<int> &) { ++calls; });
    runWithoutNotifying([&] {
        set(key, 1);
        runWithoutNotifying([&] { set(key, 2); });
        // The inner use ended suppression for this thread.
        set(key, 3);
    });
    EXPECT_EQ(calls, 1);
    EXPECT_THROW(runWithoutNotifying([] { throw 1; }), int);
    set(key, 4);
    EXPECT_EQ(calls, 2) << "a throwing body must not leave notifications off";
}

TEST(DefaultsObservationTest, CompositeObservationCoversKeysOfSeveralSuites) {
    auto first = kestrova::testing::makeInMemorySuite();
    auto second = kestrova::testing::makeInMemorySuite();
    const Key<int> a(QStringLiteral("a"), 0, first);
    const Key<QString> b(QStringLiteral("b"), QString(), second);
    int calls = 0;
    auto observation = observe(std::vector<std::reference_wrapper<const AnyKey>>{a, b}, {}, [&] { ++calls; });
    set(a, 1);
    set(b, QStringLiteral("x"));
    set(Key<int>(QStringLiteral("c"), 0, first), 1);
    EXPECT_EQ(calls, 2);
    observation.reset();
    set(a, 2);
    EXPECT_EQ(calls, 2) << "freeing an observation unregisters it";
}

TEST(DefaultsObservationTest, LifetimeBindingFollowsTheOwner) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<int> key(QStringLiteral("n"), 0, suite);
    int calls = 0;
    {
        auto owner = std::make_unique<QObject>();
        observe<int>(key, {}, [&](const KeyChange<int> &) { ++calls; })->bindLifetime(owner.get());
        set(key, 1);
        EXPECT_EQ(calls, 1) << "the owner keeps the observation alive";
        owner.reset();
        set(key, 2);
        EXPECT_EQ(calls, 1);
    }
    auto owner = std::make_unique<QObject>();
    auto held = observe<int>(key, {}, [&](const KeyChange<int> &) { ++calls; });
    held->bindLifetime(owner.get());
    held->bindLifetime(owner.get());
    set(key, 3);
    EXPECT_EQ(calls, 2) << "binding again keeps the observation registered";
    held->releaseLifetimeBinding();
    owner.reset();
    set(key, 4);
    EXPECT_EQ(calls, 3) << "after release the owner no longer ends it";
}

TEST(DefaultsObservationTest, PublishersDeliverEveryRecordUntilCancelled) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<int> key(QStringLiteral("n"), 5, suite);
    std::vector<int> received;
    auto subscription =
        publisher(key).sink([&](const KeyChange<int> &change) { received.push_back(change.newValue); });
    set(key, 1);
    set(key, 1);
    EXPECT_EQ(received, (std::vector<int>{5, 1, 1}));
    subscription->cancel();
    set(key, 2);
    EXPECT_EQ(received.size(), 3u);

    int events = 0;
    const Key<int> other(QStringLiteral("m"), 0, suite);
    auto merged =
        publisher(std::vector<std::reference_wrapper<const AnyKey>>{key, other}).sink([&] { ++events; });
    set(key, 3);
    set(other, 3);
    EXPECT_EQ(events, 2);
    auto none = publisher(std::vector<std::reference_wrapper<const AnyKey>>{}).sink([&] { ++events; });
    set(key, 4);
    EXPECT_EQ(events, 3);
}

TEST(DefaultsObservationTest, UpdateStreamYieldsEveryValueOnTheConsumersThread) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<QString> key(QStringLiteral("s"), QStringLiteral("default"), suite);
    auto stream = updates(key, /*initial=*/true);
    EXPECT_EQ(stream->takeNext(), QStringLiteral("default"));
    set(key, QStringLiteral("a"));
    set(key, QStringLiteral("a"));
    EXPECT_EQ(stream->takeNext(), QStringLiteral("a"));
    EXPECT_EQ(stream->takeNext(), QStringLiteral("a"));
    EXPECT_EQ(stream->takeNext(), std::nullopt);

    QObject context;
    std::vector<QString> consumed;
    stream->forEach(&context, [&](const QString &value) { consumed.push_back(value); });
    std::thread writer([&] { set(key, QStringLiteral("from another thread")); });
    writer.join();
    set(key, QStringLiteral("b"));
    EXPECT_TRUE(consumed.empty()) << "values arrive on a later turn of the consumer's event loop";
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return consumed.size() == 2; }));
    EXPECT_EQ(consumed, (std::vector<QString>{QStringLiteral("from another thread"), QStringLiteral("b")}));

    stream->finish();
    set(key, QStringLiteral("c"));
    QCoreApplication::processEvents();
    EXPECT_EQ(consumed.size(), 2u);
}

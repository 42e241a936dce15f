#include "foundation/collections/Memoize.h"

#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <thread>

using namespace kestrova;

namespace {

struct FakeClock {
    double seconds = 1000;
    MemoCache::Clock clock() {
        return [this] { return seconds; };
    }
};

int lookUp(MemoCache &cache, int &calls, const QString &argument) {
    return cache.memoize<int>({argument}, 1.0, [&] { return ++calls; });
}

} // namespace

TEST(MemoizeTest, HitsWithinTheLifetimeAndKeysByCallSite) {
    FakeClock time;
    MemoCache cache(std::chrono::hours(1), time.clock());
    int calls = 0;
    EXPECT_EQ(lookUp(cache, calls, QStringLiteral("a")), 1);
    time.seconds += 0.5;
    EXPECT_EQ(lookUp(cache, calls, QStringLiteral("a")), 1);
    EXPECT_EQ(lookUp(cache, calls, QStringLiteral("b")), 2);
    time.seconds += 0.5; // stored 1 s ago: no longer fresh
    EXPECT_EQ(lookUp(cache, calls, QStringLiteral("a")), 3);

    // The same key values from another call site never share the entry.
    EXPECT_EQ(cache.memoize<int>({QStringLiteral("a")}, 1.0, [&] { return ++calls; }), 4);
}

TEST(MemoizeTest, CleanUpRunsInlineWhenDueAndOnlyEverySecondCall) {
    FakeClock time;
    MemoCache cache(std::chrono::hours(1), time.clock());
    int calls = 0;
    lookUp(cache, calls, QStringLiteral("a")); // first call: the last clean-up is long ago
    EXPECT_EQ(cache.evictionCount(), 1);
    lookUp(cache, calls, QStringLiteral("b")); // skipped by the toggle
    EXPECT_EQ(cache.evictionCount(), 1);
    EXPECT_FALSE(cache.hasPendingCleanup());
    lookUp(cache, calls, QStringLiteral("c")); // recent clean-up: deferred instead
    EXPECT_EQ(cache.evictionCount(), 1);
    EXPECT_TRUE(cache.hasPendingCleanup());

    time.seconds += 5;
    cache.evict(1.0);
    EXPECT_EQ(cache.count(), 0);
}

TEST(MemoizeTest, DeferredCleanUpEvictsAndPrintsUnlessCancelled) {
    FakeClock time;
    testing::internal::CaptureStdout();
    {
        MemoCache cache(std::chrono::milliseconds(20), time.clock());
        int calls = 0;
        lookUp(cache, calls, QStringLiteral("a")); // inline
        lookUp(cache, calls, QStringLiteral("b")); // skipped
        time.seconds += 2.5;
        lookUp(cache, calls, QStringLiteral("c")); // deferred
        QDeadlineTimer deadline(5000);
        while (cache.evictionCount() < 2 && !deadline.hasExpired())
            std::this_thread::yield();
        EXPECT_EQ(cache.evictionCount(), 2);
        EXPECT_EQ(cache.count(), 1) << "only the fresh entry stays";
    }
    {
        // Destroyed during its long wait: the clean-up neither evicts nor prints.
        MemoCache cache(std::chrono::hours(1), time.clock());
        int calls = 0;
        lookUp(cache, calls, QStringLiteral("a"));
        lookUp(cache, calls, QStringLiteral("b"));
        lookUp(cache, calls, QStringLiteral("c"));
        EXPECT_TRUE(cache.hasPendingCleanup());
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "CLEANUP\n");
}

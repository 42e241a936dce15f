#include "foundation/time/Debouncer.h"
#include "foundation/concurrency/Once.h"
#include "foundation/concurrency/UnfairLock.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <latch>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace kestrova;

TEST(OnceTest, RunsOnlyTheFirstClosure) {
    Once once;
    EXPECT_FALSE(once.hasRun());
    EXPECT_EQ(once.run([] { return QStringLiteral("first"); }), QStringLiteral("first"));
    EXPECT_EQ(once.run([] { return QStringLiteral("second"); }), QStringLiteral("first"));
    EXPECT_TRUE(once.hasRun());

    int calls = 0;
    Once sideEffect;
    sideEffect.run([&] { ++calls; });
    sideEffect.run([&] { ++calls; });
    EXPECT_EQ(calls, 1);
}

TEST(OnceTest, ContendingCallersAllGetTheOneResult) {
    constexpr int kThreads = 16;
    Once once;
    std::atomic<int> runs{0};
    std::latch start(kThreads);
    std::vector<int> results(kThreads, -1);
    std::vector<std::thread> threads;
    for (int index = 0; index < kThreads; ++index) {
        threads.emplace_back([&, index] {
            start.arrive_and_wait();
            results[index] = once.run([&] {
                ++runs;
                return index;
            });
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(runs, 1);
    for (int result : results)
        EXPECT_EQ(result, results.front());
    EXPECT_GE(results.front(), 0);
}

TEST(OnceTest, AThrowingClosureLeavesItNotRun) {
    Once once;
    EXPECT_THROW(once.run([]() -> int { throw std::runtime_error("failed"); }), std::runtime_error);
    EXPECT_FALSE(once.hasRun());
    EXPECT_EQ(once.run([] { return 7; }), 7);
    EXPECT_THROW(once.run([] { return QString(); }), std::bad_any_cast);
}

TEST(OnceTest, Once2RunsItsClosureOnce) {
    int calls = 0;
    Once2 once([&] { ++calls; });
    EXPECT_TRUE(once.isQueued());
    once();
    once();
    EXPECT_FALSE(once.isQueued());
    EXPECT_EQ(calls, 1);
}

TEST(OnceTest, UnfairLockExcludesOtherThreads) {
    UnfairLock lock;
    int counter = 0;
    std::vector<std::thread> threads;
    for (int index = 0; index < 4; ++index) {
        threads.emplace_back([&] {
            for (int step = 0; step < 10000; ++step) {
                std::lock_guard hold(lock);
                ++counter;
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(counter, 40000);
    ASSERT_TRUE(lock.try_lock());
    lock.unlock();
}

TEST(DebouncerTest, RunsOnlyTheLastActionOfABurst) {
    Debouncer debouncer(std::chrono::milliseconds(5));
    QStringList ran;
    QEventLoop loop;
    for (const QString &name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
        debouncer([&, name] {
            ran.append(name);
            loop.quit();
        });
    QTimer::singleShot(std::chrono::seconds(10), &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(ran, QStringList{QStringLiteral("c")});

    bool dropped = true;
    {
        Debouncer shortLived(std::chrono::milliseconds(0));
        shortLived([&] { dropped = false; });
    }
    // A later zero-delay timer fires after the one the destroyed debouncer would have started.
    QEventLoop after;
    QTimer::singleShot(0, &after, &QEventLoop::quit);
    after.exec();
    EXPECT_TRUE(dropped);
}

#include "foundation/AsyncSequence.h"
#include "foundation/testing/ReportedErrors.h"

#include "platform/testing/EventLoop.h"

#include <gtest/gtest.h>

#include <thread>

using namespace kestrova;

namespace {

template <AsyncSequence Sequence>
QCoro::Task<std::vector<typename Sequence::Element>> collect(Sequence sequence) {
    std::vector<typename Sequence::Element> elements;
    auto iterator = sequence.makeAsyncIterator();
    while (auto element = co_await iterator.next())
        elements.push_back(*element);
    co_return elements;
}

// A sequence that gives its elements, then throws.
struct ThrowingSequence {
    using Element = int;
    struct Iterator {
        int index = 0;
        QCoro::Task<std::optional<int>> next() {
            if (index == 2)
                throw GeneralError(QStringLiteral("disk gone"));
            co_return ++index;
        }
    };
    Iterator makeAsyncIterator() { return {}; }
};

} // namespace

TEST(AsyncSequenceTest, PassthroughDuplicatesAndMerging) {
    PassthroughAsyncSequence<int> values;
    for (int value : {1, 1, 2, 1})
        values.send(value);
    values.finish();
    values.send(9);
    EXPECT_EQ(kestrova::testing::awaitTask(collect(removeDuplicates(values))), (std::vector<int>{1, 2, 1}));

    // Values sent from another thread while the consumer waits arrive in order.
    PassthroughAsyncSequence<int> late;
    std::thread producer([late] {
        for (int value = 0; value < 100; ++value)
            late.send(value);
        late.finish();
    });
    const auto received = kestrova::testing::awaitTask(collect(AnyAsyncSequence<int>(late)));
    producer.join();
    ASSERT_EQ(received.size(), 100u);
    EXPECT_TRUE(std::is_sorted(received.begin(), received.end()));

    PassthroughAsyncSequence<int> empty;
    empty.finish();
    PassthroughAsyncSequence<int> two;
    two.send(1);
    two.send(2);
    two.finish();
    EXPECT_EQ(kestrova::testing::awaitTask(collect(MergeAsyncSequence<int>(empty, two))),
              (std::vector<int>{1, 2}));
    // A base that throws ends the merged stream after what arrived.
    const auto merged =
        kestrova::testing::awaitTask(collect(MergeAsyncSequence<int>(ThrowingSequence{}, empty)));
    EXPECT_EQ(merged, (std::vector<int>{1, 2}));
}

TEST(AsyncSequenceTest, SinkReportsOneErrorAndStopsOnCancel) {
    kestrova::testing::ReportedErrors reported;
    std::vector<int> received;
    sink(ThrowingSequence{}, std::function<QCoro::Task<>(int)>([&](int value) -> QCoro::Task<> {
             received.push_back(value);
             co_return;
         }));
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return !reported.errors().isEmpty(); }));
    EXPECT_EQ(received, (std::vector<int>{1, 2}));
    ASSERT_EQ(reported.errors().size(), 1);
    EXPECT_EQ(reported.errors()[0].localizedDescription(),
              QStringLiteral("Async stream should not throw: disk gone"));

    PassthroughAsyncSequence<int> values;
    std::vector<int> seen;
    CancellationToken token = sink(values, std::function<QCoro::Task<>(int)>([&](int value) -> QCoro::Task<> {
                                       seen.push_back(value);
                                       co_return;
                                   }));
    values.send(1);
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return seen.size() == 1; }));
    token.cancel();
    values.send(2);
    values.finish();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, std::vector<int>{1});
}

TEST(AsyncSequenceTest, LatestValueSleepAndCallbackStreams) {
    PassthroughAsyncSequence<QString> titles;
    AsyncSequenceValue<QString> shown(titles, QStringLiteral("default"));
    EXPECT_EQ(shown.value(), QStringLiteral("default"));
    titles.send(QStringLiteral("first"));
    titles.send(QStringLiteral("second"));
    ASSERT_TRUE(
        kestrova::testing::processEventsUntil([&] { return shown.value() == QStringLiteral("second"); }));
    titles.finish();

    CancellationToken token;
    token.cancel();
    EXPECT_THROW(kestrova::testing::awaitTask(sleepFor(std::chrono::hours(1), token)), CancellationError);
    CancellationToken later;
    QTimer::singleShot(0, [later]() mutable { later.cancel(); });
    EXPECT_THROW(kestrova::testing::awaitTask(sleepFor(std::chrono::hours(1), later)), CancellationError);
    kestrova::testing::awaitTask(sleepFor(std::chrono::milliseconds(1)));

    bool unsubscribed = false;
    std::function<void(int)> deliver;
    std::function<void()> complete;
    {
        CallbackAsyncStream<int> stream([&](std::function<void(int)> receive, std::function<void()> done) {
            deliver = receive;
            complete = done;
            return std::function<void()>([&] { unsubscribed = true; });
        });
        deliver(4);
        deliver(5);
        complete();
        EXPECT_EQ(kestrova::testing::awaitTask(collect(stream)), (std::vector<int>{4, 5}));
    }
    EXPECT_TRUE(unsubscribed);
}

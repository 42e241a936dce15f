#include "foundation/concurrency/AsyncSequence.h"
#include "foundation/concurrency/AsyncSequenceSink.h"
#include "foundation/concurrency/AsyncSequenceValue.h"
#include "foundation/errors/GeneralError.h"
#include "foundation/concurrency/TaskSleep.h"
#include "foundation/testing/ReportedErrors.h"
#include "platform/testing/EventLoop.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

using namespace kestrova;
using kestrova::testing::awaitTask;
using kestrova::testing::processEventsUntil;

namespace {

template <typename T> struct Collected {
    std::vector<T> elements;
    std::optional<QString> error;
    bool ended = false;
};

template <typename Iterator, typename T>
QCoro::Task<> collectInto(Iterator *iterator, Collected<T> *collected) {
    try {
        for (;;) {
            auto next = iterator->next();
            std::optional<T> element = co_await next;
            if (!element)
                break;
            collected->elements.push_back(*element);
        }
    } catch (const Error &error) {
        collected->error = error.localizedDescription();
    }
    collected->ended = true;
}

// Everything the sequence gives until it ends or throws.
template <AsyncSequence Sequence> Collected<typename Sequence::Element> collect(const Sequence &sequence) {
    auto iterator = sequence.makeAsyncIterator();
    Collected<typename Sequence::Element> collected;
    collectInto(&iterator, &collected);
    EXPECT_TRUE(processEventsUntil([&] { return collected.ended; }));
    return collected;
}

// Gives 1 and 2, each on a later turn of the event loop, then throws `error`.
struct ThrowingSequence {
    using Element = int;
    struct Iterator {
        std::shared_ptr<int> given = std::make_shared<int>(0);
        Error error;
        QCoro::Task<std::optional<int>> next() {
            const std::shared_ptr<int> count = given;
            const Error toThrow = error;
            auto turn = sleepFor(std::chrono::milliseconds(0));
            co_await turn;
            if (*count == 2)
                throw toThrow;
            co_return ++*count;
        }
    };
    Error error;
    Iterator makeAsyncIterator() const { return {std::make_shared<int>(0), error}; }
};

// A callback-style source whose subscriber the test drives by hand.
struct ManualSource {
    std::function<void(const int &)> receive;
    std::function<void()> complete;
    bool unsubscribed = false;

    AsyncStream<int> stream() {
        return asyncStream<int>(SubscribeFunction<int>(
            [this](std::function<void(const int &)> onValue, std::function<void()> onCompletion) {
                receive = std::move(onValue);
                complete = std::move(onCompletion);
                return std::function<void()>([this] { unsubscribed = true; });
            }));
    }
};

// The shape of the settings store's publishers: `sink` answers a handle that ends the subscription when
// freed.
struct FakePublisher {
    struct Subscription {
        explicit Subscription(bool *releasedFlag)
            : released(releasedFlag) {}
        ~Subscription() { *released = true; }
        bool *released;
    };
    std::function<void(const int &)> *receive;
    bool *released;
    std::shared_ptr<Subscription> sink(std::function<void(const int &)> subscriber) const {
        *receive = std::move(subscriber);
        (*receive)(7); // the current value, as the store's publishers send first
        return std::make_shared<Subscription>(released);
    }
};

QCoro::Task<> recordAfterATurn(std::vector<int> *received, int value) {
    auto turn = sleepFor(std::chrono::milliseconds(1));
    co_await turn;
    received->push_back(value);
}

// Delivers what is already queued, such as resumptions of coroutines that are ending.
void processPendingEvents() {
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
}

// Lets every coroutine a test leaves behind finish, so that none outlives the test's objects.
class AsyncSequenceTest : public ::testing::Test {
protected:
    void TearDown() override { processPendingEvents(); }
};

} // namespace

TEST_F(AsyncSequenceTest, RemovesOnlyConsecutiveDuplicates) {
    PassthroughAsyncSequence<int> values;
    for (int value : {1, 1, 2, 1})
        values.send(value);
    values.finish();
    values.send(9); // after the end: dropped
    EXPECT_EQ(collect(removeDuplicates(AnyAsyncSequence<int>(values))).elements, (std::vector<int>{1, 2, 1}));

    PassthroughAsyncSequence<QString> words;
    for (const char *word : {"a", "A", "b", "B", "a"})
        words.send(QString::fromLatin1(word));
    words.finish();
    const auto sameIgnoringCase = [](const QString &previous, const QString &next) {
        return previous.compare(next, Qt::CaseInsensitive) == 0;
    };
    EXPECT_EQ(collect(removeDuplicates(words, sameIgnoringCase)).elements,
              (std::vector<QString>{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")}));
}

TEST_F(AsyncSequenceTest, MergesInArrivalOrderAndEndsWhenBothEnd) {
    PassthroughAsyncSequence<int> empty;
    empty.finish();
    PassthroughAsyncSequence<int> two;
    two.send(1);
    two.send(2);
    two.finish();
    const auto merged = collect(MergeAsyncSequence(empty, two));
    EXPECT_EQ(merged.elements, (std::vector<int>{1, 2}));
    EXPECT_FALSE(merged.error);

    PassthroughAsyncSequence<int> first;
    PassthroughAsyncSequence<int> second;
    std::vector<int> received;
    MergeAsyncSequence interleaved(first, second);
    auto iterator = interleaved.makeAsyncIterator();
    Collected<int> collected;
    collectInto(&iterator, &collected);
    for (auto [source, value] : {std::pair{&first, 1}, std::pair{&second, 10}, std::pair{&first, 2}}) {
        source->send(value);
        ASSERT_TRUE(processEventsUntil([&] { return collected.elements.size() == received.size() + 1; }));
        received.push_back(value);
    }
    first.finish();
    processPendingEvents();
    EXPECT_FALSE(collected.ended); // one base is still live
    second.finish();
    ASSERT_TRUE(processEventsUntil([&] { return collected.ended; }));
    EXPECT_EQ(collected.elements, received);
}

TEST_F(AsyncSequenceTest, MergedFailureIsThrownAndStopsTheOtherBase) {
    ManualSource live;
    const auto merged = collect(
        MergeAsyncSequence(ThrowingSequence{GeneralError(QStringLiteral("disk gone"))}, live.stream()));
    EXPECT_EQ(merged.elements, (std::vector<int>{1, 2}));
    EXPECT_EQ(merged.error, QStringLiteral("disk gone"));
    EXPECT_TRUE(live.unsubscribed);
}

TEST_F(AsyncSequenceTest, SinkReportsOneErrorAndDeliversNothingAfterwards) {
    kestrova::testing::ReportedErrors reported;
    std::vector<int> received;
    {
        const platform::Subscription handle =
            sink(ThrowingSequence{GeneralError(QStringLiteral("disk gone"))},
                 [&](const int &value) { received.push_back(value); });
        ASSERT_TRUE(processEventsUntil([&] { return !reported.errors().isEmpty(); }));
    }
    processPendingEvents();
    EXPECT_EQ(received, (std::vector<int>{1, 2}));
    ASSERT_EQ(reported.errors().size(), 1);
    EXPECT_EQ(reported.errors()[0].domain(), GeneralError(QString()).domain());
    EXPECT_EQ(reported.descriptions(), QStringLiteral("Async stream should not throw: disk gone"));

    // A cancellation ends a sink silently.
    bool cancelledSinkEnded = false;
    {
        const platform::Subscription handle =
            sink(ThrowingSequence{CancellationError()},
                 [&](const int &value) { cancelledSinkEnded = value == 2; });
        ASSERT_TRUE(processEventsUntil([&] { return cancelledSinkEnded; }));
        processPendingEvents();
    }
    EXPECT_EQ(reported.errors().size(), 1);
}

TEST_F(AsyncSequenceTest, CancelledSinkStopsAndEndsItsSubscription) {
    ManualSource source;
    std::vector<int> received;
    platform::Subscription handle =
        sink(source.stream(), [&](const int &value) { received.push_back(value); });
    source.receive(1);
    ASSERT_TRUE(processEventsUntil([&] { return received.size() == 1; }));
    source.receive(2); // buffered, not yet delivered
    handle.cancel();
    EXPECT_TRUE(source.unsubscribed);
    source.receive(3);
    processPendingEvents();
    EXPECT_EQ(received, std::vector<int>{1});

    // A receiver that is itself asynchronous is awaited before the next element is asked for.
    PassthroughAsyncSequence<int> values;
    std::vector<int> recorded;
    const platform::Subscription slow =
        sink(values, [&recorded](const int &value) { return recordAfterATurn(&recorded, value); });
    for (int value : {1, 2, 3})
        values.send(value);
    values.finish();
    ASSERT_TRUE(processEventsUntil([&] { return recorded.size() == 3; }));
    EXPECT_EQ(recorded, (std::vector<int>{1, 2, 3}));
}

TEST_F(AsyncSequenceTest, ValuesSentFromAnotherThreadArriveInOrder) {
    PassthroughAsyncSequence<int> values;
    Collected<int> collected;
    auto iterator = values.makeAsyncIterator();
    collectInto(&iterator, &collected);
    std::thread producer([values] {
        for (int value = 0; value < 2000; ++value)
            values.send(value);
        values.finish();
    });
    const bool ended = processEventsUntil([&] { return collected.ended; });
    producer.join();
    ASSERT_TRUE(ended);
    ASSERT_EQ(collected.elements.size(), 2000u);
    for (int value = 0; value < 2000; ++value)
        ASSERT_EQ(collected.elements[std::size_t(value)], value);
}

TEST_F(AsyncSequenceTest, PublisherStreamEndsItsSubscriptionWithTheConsumer) {
    std::function<void(const int &)> receive;
    bool released = false;
    std::optional<AsyncStream<int>> stream = asyncStream<int>(FakePublisher{&receive, &released});
    receive(8);
    std::vector<int> received;
    std::optional<platform::Subscription> handle =
        sink(*stream, [&](const int &value) { received.push_back(value); });
    ASSERT_TRUE(processEventsUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received, (std::vector<int>{7, 8}));
    stream.reset();
    EXPECT_FALSE(released); // the sink still reads it
    handle.reset();
    EXPECT_TRUE(released);

    // A source that completes finishes the stream after its values.
    ManualSource source;
    const AsyncStream<int> completing = source.stream();
    source.receive(4);
    source.complete();
    EXPECT_EQ(collect(completing).elements, std::vector<int>{4});
    EXPECT_TRUE(source.unsubscribed);
}

TEST_F(AsyncSequenceTest, ValueShowsTheDefaultThenTheLatestElement) {
    PassthroughAsyncSequence<QString> titles;
    {
        AsyncSequenceValue<QString> shown(titles, QStringLiteral("default"));
        int changes = 0;
        QObject::connect(&shown, &AsyncSequenceValueSignals::valueChanged, &shown, [&] { ++changes; });
        EXPECT_EQ(shown.value(), QStringLiteral("default"));
        titles.send(QStringLiteral("first"));
        titles.send(QStringLiteral("second"));
        ASSERT_TRUE(processEventsUntil([&] { return shown.value() == QStringLiteral("second"); }));
        EXPECT_EQ(changes, 2);
    }
    // Sent after the value is gone: nobody reads it, and nothing touches the freed object.
    titles.send(QStringLiteral("third"));
    processPendingEvents();
}

TEST_F(AsyncSequenceTest, CancelledSleepThrowsWithoutWaitingItOut) {
    CancellationToken already;
    already.cancel();
    EXPECT_THROW(awaitTask(sleepFor(std::chrono::hours(1), already)), CancellationError);

    CancellationToken later;
    QTimer::singleShot(0, [later] { later.cancel(); });
    EXPECT_THROW(awaitTask(sleepFor(std::chrono::hours(1), later)), CancellationError);

    CancellationToken fromAnotherThread;
    std::thread canceller;
    QTimer::singleShot(0,
                       [&] { canceller = std::thread([fromAnotherThread] { fromAnotherThread.cancel(); }); });
    EXPECT_THROW(awaitTask(sleepFor(std::chrono::hours(1), fromAnotherThread)), CancellationError);
    canceller.join();

    CancellationToken unused;
    EXPECT_NO_THROW(awaitTask(sleepFor(std::chrono::milliseconds(1), unused)));
    EXPECT_FALSE(unused.isCancelled());
}

#pragma once

#include "AsyncStream.h"

#include <QCoro/QCoroTask>

#include <atomic>
#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace kestrova {

// A sequence whose elements arrive over time: `makeAsyncIterator()` gives an iterator whose awaited `next()`
// answers the next element, or nothing at the end, and may throw. Iterators are used by one consumer at a
// time, on a thread with an event loop. An iterator may offer `cancel()`: its consumer stops, and a pending
// `next()` answers nothing soon after.
//
// A note on the shape of the coroutines below: GCC 12 destroys by-value parameters of some coroutines twice
// and mishandles temporary awaiters that own resources. So no coroutine here takes anything but pointers,
// references and trivial values, each one's state lives in a shared object made before it starts (copied to
// a local first thing), and every awaited task or awaiter is a named local.
template <typename Sequence>
concept AsyncSequence = requires(Sequence sequence) {
    typename Sequence::Element;
    {
        sequence.makeAsyncIterator().next()
        } -> std::same_as<QCoro::Task<std::optional<typename Sequence::Element>>>;
};

template <AsyncSequence Sequence>
using AsyncIteratorOf = decltype(std::declval<Sequence &>().makeAsyncIterator());

namespace detail {
// Stops `iterator`'s consumer where the iterator can be told so; others stop at their next element.
template <typename Iterator> void cancelIterator(Iterator &iterator) {
    if constexpr (requires { iterator.cancel(); })
        iterator.cancel();
}
} // namespace detail

// Any asynchronous sequence of one element type behind one type: its iterator passes on the base's elements,
// its end and its errors.
template <typename T> class AnyAsyncSequence {
public:
    using Element = T;

    class Iterator {
    public:
        using NextClosure = std::function<QCoro::Task<std::optional<T>>()>;

        explicit Iterator(NextClosure nextClosure, std::function<void()> cancelClosure = {})
            : m_nextClosure(std::move(nextClosure))
            , m_cancelClosure(std::move(cancelClosure)) {}
        QCoro::Task<std::optional<T>> next() { return m_nextClosure(); }
        void cancel() {
            if (m_cancelClosure)
                m_cancelClosure();
        }

    private:
        NextClosure m_nextClosure;
        std::function<void()> m_cancelClosure;
    };

    template <AsyncSequence Base>
    requires std::same_as<typename Base::Element, T>
    explicit AnyAsyncSequence(Base base)
        : m_makeAsyncIteratorClosure([base = std::move(base)]() mutable {
            auto iterator = std::make_shared<AsyncIteratorOf<Base>>(base.makeAsyncIterator());
            return Iterator([iterator] { return iterator->next(); },
                            [iterator] { detail::cancelIterator(*iterator); });
        }) {}

    Iterator makeAsyncIterator() const { return m_makeAsyncIteratorClosure(); }

private:
    std::function<Iterator()> m_makeAsyncIteratorClosure;
};

// A sequence that code pushes values into, from any thread. Copies share one stream; it is live until
// `finish()`, and values sent after that are dropped.
template <typename T> class PassthroughAsyncSequence {
public:
    using Element = T;
    using Iterator = typename AsyncStream<T>::Iterator;

    PassthroughAsyncSequence()
        : PassthroughAsyncSequence(AsyncStream<T>::makeStream()) {}

    void send(T value) const { m_continuation.yield(std::move(value)); }
    // Iteration ends after the values already sent.
    void finish() const { m_continuation.finish(); }

    Iterator makeAsyncIterator() const { return m_stream.makeAsyncIterator(); }

private:
    explicit PassthroughAsyncSequence(std::pair<AsyncStream<T>, typename AsyncStream<T>::Continuation> made)
        : m_stream(std::move(made.first))
        , m_continuation(std::move(made.second)) {}

    AsyncStream<T> m_stream;
    typename AsyncStream<T>::Continuation m_continuation;
};

// Drops each element that `predicate` calls a duplicate of the element let through just before it; the first
// element always passes.
template <AsyncSequence Base> class RemoveDuplicatesAsyncSequence {
public:
    using Element = typename Base::Element;
    // Previous element, new element: true when the new one is a duplicate.
    using Predicate = std::function<bool(const Element &, const Element &)>;

    class Iterator {
        struct State {
            AsyncIteratorOf<Base> base;
            Predicate predicate;
            std::optional<Element> previousElement;
        };

    public:
        QCoro::Task<std::optional<Element>> next() {
            const std::shared_ptr<State> state = m_state;
            for (;;) {
                auto baseNext = state->base.next();
                std::optional<Element> element = co_await baseNext;
                if (!element)
                    co_return std::nullopt;
                if (state->previousElement && state->predicate(*state->previousElement, *element))
                    continue;
                state->previousElement = element;
                co_return element;
            }
        }
        void cancel() { detail::cancelIterator(m_state->base); }

    private:
        friend class RemoveDuplicatesAsyncSequence;
        Iterator(AsyncIteratorOf<Base> base, Predicate predicate)
            : m_state(std::make_shared<State>(State{std::move(base), std::move(predicate), std::nullopt})) {}
        std::shared_ptr<State> m_state;
    };

    RemoveDuplicatesAsyncSequence(Base base, Predicate predicate)
        : m_base(std::move(base))
        , m_predicate(std::move(predicate)) {}

    Iterator makeAsyncIterator() const { return Iterator(m_base.makeAsyncIterator(), m_predicate); }

private:
    mutable Base m_base;
    Predicate m_predicate;
};

// Consecutive equal elements once.
template <AsyncSequence Base>
requires std::equality_comparable<typename Base::Element> RemoveDuplicatesAsyncSequence<Base>
removeDuplicates(Base base) {
    using Element = typename Base::Element;
    return {std::move(base), [](const Element &previous, const Element &next) { return previous == next; }};
}

template <AsyncSequence Base>
RemoveDuplicatesAsyncSequence<Base>
removeDuplicates(Base base, typename RemoveDuplicatesAsyncSequence<Base>::Predicate by) {
    return {std::move(base), std::move(by)};
}

namespace detail {

// One base of a merge, feeding the merged stream.
template <typename T> struct MergeFeed {
    typename AnyAsyncSequence<T>::Iterator iterator;
    typename AsyncStream<T>::Continuation continuation;
    std::shared_ptr<std::atomic<int>> runningFeeds;
    // Owns the feed while its coroutine runs.
    std::shared_ptr<MergeFeed> keepAlive;
};

template <typename T> QCoro::Task<> runMergeFeed(MergeFeed<T> *feed) {
    const std::shared_ptr<MergeFeed<T>> keepAlive = std::move(feed->keepAlive);
    std::exception_ptr failure;
    try {
        while (!feed->continuation.isTerminated()) {
            auto baseNext = feed->iterator.next();
            std::optional<T> element = co_await baseNext;
            if (!element)
                break;
            feed->continuation.yield(std::move(*element));
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // A failure ends the merged stream with the error, after what arrived, so that its consumer can tell it
    // from the end; the termination handler stops the other base.
    if (failure)
        feed->continuation.finish(failure);
    else if (--*feed->runningFeeds == 0)
        feed->continuation.finish();
}

} // namespace detail

// The elements of two sequences in the order they arrive (each base's own order kept). Ends once both bases
// ended; when one throws, the merged sequence throws that error after the elements that arrived before it and
// the other base is stopped. The bases are consumed on the thread that made the merge, from its event loop.
template <typename T> class MergeAsyncSequence {
public:
    using Element = T;
    using Iterator = typename AsyncStream<T>::Iterator;

    template <AsyncSequence First, AsyncSequence Second>
    requires std::same_as<typename First::Element, T> && std::same_as<typename Second::Element, T>
    MergeAsyncSequence(First first, Second second)
        : MergeAsyncSequence(AsyncStream<T>::makeStream(), AnyAsyncSequence<T>(std::move(first)),
                             AnyAsyncSequence<T>(std::move(second))) {}

    Iterator makeAsyncIterator() const { return m_stream.makeAsyncIterator(); }

private:
    MergeAsyncSequence(std::pair<AsyncStream<T>, typename AsyncStream<T>::Continuation> made,
                       const AnyAsyncSequence<T> &first, const AnyAsyncSequence<T> &second)
        : m_stream(std::move(made.first)) {
        const auto runningFeeds = std::make_shared<std::atomic<int>>(2);
        std::shared_ptr<detail::MergeFeed<T>> feeds[] = {
            std::make_shared<detail::MergeFeed<T>>(
                detail::MergeFeed<T>{first.makeAsyncIterator(), made.second, runningFeeds, nullptr}),
            std::make_shared<detail::MergeFeed<T>>(
                detail::MergeFeed<T>{second.makeAsyncIterator(), made.second, runningFeeds, nullptr}),
        };
        // Once the merged stream is over (finished, failed, or its consumer gone), neither base is read on.
        made.second.setOnTermination(
            [weakFeeds = std::vector<std::weak_ptr<detail::MergeFeed<T>>>{feeds[0], feeds[1]}] {
                for (const auto &weakFeed : weakFeeds)
                    if (const auto feed = weakFeed.lock())
                        feed->iterator.cancel();
            });
        for (const auto &feed : feeds) {
            feed->keepAlive = feed;
            detail::runMergeFeed(feed.get());
        }
    }

    AsyncStream<T> m_stream;
};

template <AsyncSequence First, AsyncSequence Second>
MergeAsyncSequence(First, Second) -> MergeAsyncSequence<typename First::Element>;

// A function that subscribes to a source of values: it gets the function to call with each value and the one
// to call when the source completes, and answers the function that ends the subscription.
template <typename T>
using SubscribeFunction = std::function<std::function<void()>(std::function<void(const T &)> receive,
                                                              std::function<void()> complete)>;

// The values of a callback-style source as a stream. The source's completion finishes the stream; when the
// stream terminates (finished, or its consumer stopped or gone) the subscription is ended.
template <typename T> AsyncStream<T> asyncStream(const SubscribeFunction<T> &subscribe) {
    auto made = AsyncStream<T>::makeStream();
    const auto continuation = made.second;
    std::function<void()> unsubscribe =
        subscribe([continuation](const T &value) { continuation.yield(value); },
                  [continuation] { continuation.finish(); });
    if (unsubscribe)
        continuation.setOnTermination(std::move(unsubscribe));
    return std::move(made.first);
}

// The values of a publisher, an object whose `sink(receive)` subscribes and answers a handle that ends the
// subscription when released (as the settings store's publishers do), as a stream. The handle is released
// when the stream terminates.
template <typename T, typename Publisher>
requires requires(const Publisher &publisher, std::function<void(const T &)> receive) {
    publisher.sink(receive);
}
AsyncStream<T> asyncStream(const Publisher &publisher) {
    auto made = AsyncStream<T>::makeStream();
    const auto continuation = made.second;
    using Handle = decltype(publisher.sink(std::function<void(const T &)>()));
    auto handle = std::make_shared<std::optional<Handle>>(publisher.sink(
        std::function<void(const T &)>([continuation](const T &value) { continuation.yield(value); })));
    continuation.setOnTermination([handle] { handle->reset(); });
    return std::move(made.first);
}

} // namespace kestrova

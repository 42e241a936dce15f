#pragma once

#include "Error.h"
#include "GeneralError.h"
#include "KvApp.h"

#include <QCoro/QCoroTask>
#include <QCoro/QCoroTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <concepts>
#include <coroutine>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace kestrova {

// A sequence whose elements arrive over time: `makeAsyncIterator()` gives an iterator whose awaited `next()`
// answers the next element, or nothing at the end (and may throw). Awaiting happens on the thread's event
// loop, so the thread keeps running while an element is awaited.
template <typename Sequence>
concept AsyncSequence = requires(Sequence sequence) {
    typename Sequence::Element;
    sequence.makeAsyncIterator();
    {
        sequence.makeAsyncIterator().next()
        } -> std::same_as<QCoro::Task<std::optional<typename Sequence::Element>>>;
};

// Resumes a suspended coroutine on the thread it suspended on, from that thread's event loop: never inside
// the call that woke it, so the waker's own stack frames (a signal emission, a lock) are gone by then.
class ResumeContext {
public:
    // Made on the waiting thread, before suspending.
    // The receiver goes with deleteLater(), so that it is never destroyed on another thread or while one of
    // its own events is being delivered.
    ResumeContext()
        : m_context(new QObject, [](QObject *context) { context->deleteLater(); }) {}
    void resume(std::coroutine_handle<> handle) const {
        QMetaObject::invokeMethod(
            m_context.get(), [handle, keepAlive = m_context] { handle.resume(); }, Qt::QueuedConnection);
    }

private:
    std::shared_ptr<QObject> m_context;
};

// Set once to stop work that checks it. Copies share one state; callbacks run on the cancelling thread.
class CancellationToken {
public:
    void cancel() const {
        std::vector<std::function<void()>> callbacks;
        {
            std::lock_guard lock(m_state->mutex);
            if (m_state->cancelled)
                return;
            m_state->cancelled = true;
            callbacks.swap(m_state->callbacks);
        }
        for (const auto &callback : callbacks)
            callback();
    }
    bool isCancelled() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->cancelled;
    }
    // Throws CancellationError once cancelled.
    void checkCancellation() const {
        if (isCancelled())
            throw CancellationError();
    }
    // Runs `callback` at cancellation, or at once when already cancelled.
    void onCancel(std::function<void()> callback) const {
        {
            std::lock_guard lock(m_state->mutex);
            if (!m_state->cancelled) {
                m_state->callbacks.push_back(std::move(callback));
                return;
            }
        }
        callback();
    }

private:
    struct State {
        std::mutex mutex;
        bool cancelled = false;
        std::vector<std::function<void()>> callbacks;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// Any asynchronous sequence of one element type behind one type: its iterator passes on the base's
// elements, end and errors.
template <typename T> class AnyAsyncSequence {
public:
    using Element = T;
    using NextClosure = std::function<QCoro::Task<std::optional<T>>()>;

    class Iterator {
    public:
        explicit Iterator(NextClosure nextClosure)
            : m_nextClosure(std::move(nextClosure)) {}
        QCoro::Task<std::optional<T>> next() { return m_nextClosure(); }

    private:
        NextClosure m_nextClosure;
    };

    template <AsyncSequence Base>
    requires std::same_as<typename Base::Element, T>
    explicit AnyAsyncSequence(Base base)
        : m_makeAsyncIteratorClosure([base]() mutable {
            auto iterator = std::make_shared<decltype(base.makeAsyncIterator())>(base.makeAsyncIterator());
            return Iterator([iterator] { return iterator->next(); });
        }) {}

    Iterator makeAsyncIterator() const { return m_makeAsyncIteratorClosure(); }

private:
    std::function<Iterator()> m_makeAsyncIteratorClosure;
};

// A sequence that code pushes values into, from any thread, with an unbounded buffer. One consumer at a
// time; values sent after finish() are dropped, and iteration ends after the buffered ones.
template <typename T> class PassthroughAsyncSequence {
    struct State {
        std::mutex mutex;
        std::deque<T> buffer;
        bool finished = false;
        std::coroutine_handle<> waiter;
        std::optional<ResumeContext> waiterContext;
    };

    // Suspends the consumer until a value or the end arrives; checked again under the lock, so that a value
    // sent between the consumer's look at the buffer and its suspension is never missed.
    struct WaitForChange {
        std::shared_ptr<State> state;
        bool await_ready() const noexcept { return false; }
        bool await_suspend(std::coroutine_handle<> handle) {
            std::lock_guard lock(state->mutex);
            if (!state->buffer.empty() || state->finished)
                return false;
            state->waiter = handle;
            state->waiterContext.emplace();
            return true;
        }
        void await_resume() const noexcept {}
    };

public:
    using Element = T;

    class Iterator {
    public:
        explicit Iterator(std::shared_ptr<State> state)
            : m_state(std::move(state)) {}
        QCoro::Task<std::optional<T>> next() {
            const auto state = m_state;
            for (;;) {
                {
                    std::lock_guard lock(state->mutex);
                    if (!state->buffer.empty()) {
                        T value = std::move(state->buffer.front());
                        state->buffer.pop_front();
                        co_return value;
                    }
                    if (state->finished)
                        co_return std::nullopt;
                }
                co_await WaitForChange{state};
            }
        }

    private:
        std::shared_ptr<State> m_state;
    };

    void send(T value) const {
        {
            std::lock_guard lock(m_state->mutex);
            if (m_state->finished)
                return;
            m_state->buffer.push_back(std::move(value));
        }
        wake();
    }
    void finish() const {
        {
            std::lock_guard lock(m_state->mutex);
            m_state->finished = true;
        }
        wake();
    }

    Iterator makeAsyncIterator() const { return Iterator(m_state); }

private:
    void wake() const {
        std::coroutine_handle<> waiter;
        std::optional<ResumeContext> context;
        {
            std::lock_guard lock(m_state->mutex);
            waiter = std::exchange(m_state->waiter, nullptr);
            context = std::move(m_state->waiterContext);
            m_state->waiterContext.reset();
        }
        if (waiter && context)
            context->resume(waiter);
    }

    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// Drops each element that `predicate` calls a duplicate of the element just before it.
template <AsyncSequence Base> class RemoveDuplicatesAsyncSequence {
public:
    using Element = typename Base::Element;
    using Predicate = std::function<bool(const Element &previous, const Element &next)>;

    class Iterator {
    public:
        Iterator(decltype(std::declval<Base>().makeAsyncIterator()) base, Predicate predicate)
            : m_base(std::make_shared<decltype(base)>(std::move(base)))
            , m_predicate(std::move(predicate)) {}
        QCoro::Task<std::optional<Element>> next() {
            for (;;) {
                std::optional<Element> element = co_await m_base->next();
                if (!element)
                    co_return std::nullopt;
                if (m_previous && m_predicate(*m_previous, *element))
                    continue;
                m_previous = element;
                co_return element;
            }
        }

    private:
        std::shared_ptr<decltype(std::declval<Base>().makeAsyncIterator())> m_base;
        Predicate m_predicate;
        std::optional<Element> m_previous;
    };

    RemoveDuplicatesAsyncSequence(Base base, Predicate predicate)
        : m_base(std::move(base))
        , m_predicate(std::move(predicate)) {}
    Iterator makeAsyncIterator() { return Iterator(m_base.makeAsyncIterator(), m_predicate); }

private:
    Base m_base;
    Predicate m_predicate;
};

template <AsyncSequence Base> auto removeDuplicates(Base base) {
    using Element = typename Base::Element;
    return RemoveDuplicatesAsyncSequence<Base>(
        std::move(base), [](const Element &previous, const Element &next) { return previous == next; });
}
template <AsyncSequence Base>
auto removeDuplicates(Base base, typename RemoveDuplicatesAsyncSequence<Base>::Predicate predicate) {
    return RemoveDuplicatesAsyncSequence<Base>(std::move(base), std::move(predicate));
}

namespace detail {
// Feeds every element of `base` into `stream`; false when the base threw.
template <AsyncSequence Base>
QCoro::Task<bool> feed(Base base, PassthroughAsyncSequence<typename Base::Element> stream) {
    try {
        auto iterator = base.makeAsyncIterator();
        while (auto element = co_await iterator.next())
            stream.send(std::move(*element));
        co_return true;
    } catch (...) {
        co_return false;
    }
}
} // namespace detail

// The elements of two sequences in the order they arrive; ends when both ended, or when one throws (the
// error is dropped).
template <typename T> class MergeAsyncSequence {
public:
    using Element = T;
    using Iterator = typename PassthroughAsyncSequence<T>::Iterator;

    template <AsyncSequence First, AsyncSequence Second> MergeAsyncSequence(First first, Second second) {
        auto stream = m_stream;
        auto remaining = std::make_shared<int>(2);
        auto onEnd = [stream, remaining](bool completed) {
            if (!completed || --*remaining == 0)
                stream.finish();
        };
        detail::feed(std::move(first), stream).then(onEnd);
        detail::feed(std::move(second), stream).then(onEnd);
    }
    Iterator makeAsyncIterator() const { return m_stream.makeAsyncIterator(); }

private:
    PassthroughAsyncSequence<T> m_stream;
};

// Consumes `sequence` on the calling thread's event loop, awaiting `receiveValue` with each element, until
// the sequence ends or the returned token is cancelled. A cancellation error ends it silently; any other
// error is reported once and ends it.
template <AsyncSequence Sequence>
CancellationToken sink(Sequence sequence,
                       std::function<QCoro::Task<>(typename Sequence::Element)> receiveValue) {
    CancellationToken token;
    [](Sequence sequence, std::function<QCoro::Task<>(typename Sequence::Element)> receive,
       CancellationToken token) -> QCoro::Task<> {
        try {
            auto iterator = sequence.makeAsyncIterator();
            for (;;) {
                token.checkCancellation();
                auto element = co_await iterator.next();
                if (!element || token.isCancelled())
                    co_return;
                co_await receive(std::move(*element));
            }
        } catch (const Error &error) {
            if (!error.isCancelled())
                KvApp::reportError(GeneralError(QStringLiteral("Async stream should not throw: ") +
                                                error.localizedDescription()));
        } catch (const std::exception &error) {
            KvApp::reportError(GeneralError(QStringLiteral("Async stream should not throw: ") +
                                            QString::fromLocal8Bit(error.what())));
        }
    }(std::move(sequence), std::move(receiveValue), token);
    return token;
}

// An asynchronous stream of what a callback-style source delivers. `subscribe` gets the function to call
// with each value and the one to call at completion, and answers the function that ends the
// subscription, which runs when the stream's consumer is done with it.
template <typename T> class CallbackAsyncStream {
public:
    using Element = T;
    using Subscribe =
        std::function<std::function<void()>(std::function<void(T)> receive, std::function<void()> complete)>;

    explicit CallbackAsyncStream(const Subscribe &subscribe)
        : m_subscription(std::make_shared<Subscription>()) {
        PassthroughAsyncSequence<T> stream = m_stream;
        m_subscription->cancel =
            subscribe([stream](T value) { stream.send(std::move(value)); }, [stream] { stream.finish(); });
    }
    typename PassthroughAsyncSequence<T>::Iterator makeAsyncIterator() const {
        return m_stream.makeAsyncIterator();
    }

private:
    struct Subscription {
        std::function<void()> cancel;
        ~Subscription() {
            if (cancel)
                cancel();
        }
    };
    PassthroughAsyncSequence<T> m_stream;
    std::shared_ptr<Subscription> m_subscription;
};

// The signal side of AsyncSequenceValue, which as a template cannot declare signals.
class AsyncSequenceValueSignals : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
Q_SIGNALS:
    void valueChanged();
};

// What a view shows of a sequence: the latest element, or `defaultValue` before the first. Lives on the
// main thread; freeing it ends its subscription.
template <typename T> class AsyncSequenceValue : public AsyncSequenceValueSignals {
public:
    template <AsyncSequence Sequence>
    requires std::same_as<typename Sequence::Element, T> AsyncSequenceValue(Sequence sequence, T defaultValue,
                                                                            QObject *parent = nullptr)
        : AsyncSequenceValueSignals(parent)
        , m_defaultValue(std::move(defaultValue)) {
        QPointer<AsyncSequenceValue> self = this;
        m_subscription =
            sink(std::move(sequence), std::function<QCoro::Task<>(T)>([self](T value) -> QCoro::Task<> {
                     if (self) {
                         self->m_value = std::move(value);
                         Q_EMIT self->valueChanged();
                     }
                     co_return;
                 }));
    }
    ~AsyncSequenceValue() override { m_subscription.cancel(); }

    const T &value() const { return m_value ? *m_value : m_defaultValue; }

private:
    T m_defaultValue;
    std::optional<T> m_value;
    CancellationToken m_subscription;
};

// Waits `duration` on the event loop; throws CancellationError at once when `token` is cancelled meanwhile.
QCoro::Task<> sleepFor(std::chrono::nanoseconds duration, CancellationToken token = {});

} // namespace kestrova

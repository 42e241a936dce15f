#pragma once

#include "ResumeContext.h"

#include <QCoro/QCoroTask>

#include <coroutine>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace kestrova {

// A stream of elements with an unbounded buffer: producers hand elements to its `Continuation` from any
// thread, and one consumer at a time awaits them through an iterator on its own thread's event loop.
//
// The stream terminates once: when the continuation finishes it (iteration then ends after the buffered
// elements, or throws the error it was finished with), when the consumer cancels its iterator (the buffer is
// dropped and iteration ends at once), or when the stream and all its iterators are gone. Elements yielded
// after that are dropped, and the termination handler runs then, outside the stream's lock.
template <typename T> class AsyncStream {
    struct State {
        std::mutex mutex;
        std::deque<T> buffer;
        std::exception_ptr error;
        bool finished = false;
        std::coroutine_handle<> waiter;
        std::optional<ResumeContext> waiterContext;
        std::function<void()> onTermination;

        // Ends the stream; answers whether this call ended it.
        bool terminate(bool dropBuffer, std::exception_ptr withError) {
            std::function<void()> handler;
            std::coroutine_handle<> handle;
            std::optional<ResumeContext> context;
            {
                std::lock_guard lock(mutex);
                if (finished)
                    return false;
                finished = true;
                error = std::move(withError);
                if (dropBuffer)
                    buffer.clear();
                handler = std::move(onTermination);
                onTermination = nullptr;
                handle = std::exchange(waiter, nullptr);
                context = std::move(waiterContext);
                waiterContext.reset();
            }
            if (handle)
                context->resume(handle);
            if (handler)
                handler();
            return true;
        }
    };

    // The consumer's side: when the last holder (the stream or an iterator) goes, nobody can read any more.
    struct Consumer {
        explicit Consumer(std::shared_ptr<State> consumed)
            : state(std::move(consumed)) {}
        ~Consumer() { state->terminate(/*dropBuffer=*/true, nullptr); }
        Consumer(const Consumer &) = delete;
        Consumer &operator=(const Consumer &) = delete;

        const std::shared_ptr<State> state;
    };

    // Suspends the consumer until an element or the end is there. Decided under the lock, so that an element
    // yielded between the consumer's look at the buffer and its suspension is never missed.
    struct WaitForElement {
        State *state;
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

    class Continuation {
    public:
        // Buffers `value` for the consumer; dropped once the stream terminated.
        void yield(T value) const {
            std::coroutine_handle<> handle;
            std::optional<ResumeContext> context;
            {
                std::lock_guard lock(m_state->mutex);
                if (m_state->finished)
                    return;
                m_state->buffer.push_back(std::move(value));
                handle = std::exchange(m_state->waiter, nullptr);
                context = std::move(m_state->waiterContext);
                m_state->waiterContext.reset();
            }
            if (handle)
                context->resume(handle);
        }
        // Iteration ends after the buffered elements.
        void finish() const { m_state->terminate(/*dropBuffer=*/false, nullptr); }
        // Iteration throws `error` after the buffered elements, and ends after that.
        void finish(std::exception_ptr error) const {
            m_state->terminate(/*dropBuffer=*/false, std::move(error));
        }
        bool isTerminated() const {
            std::lock_guard lock(m_state->mutex);
            return m_state->finished;
        }
        // Runs `handler` once at termination, or at once when the stream has terminated already.
        void setOnTermination(std::function<void()> handler) const {
            {
                std::lock_guard lock(m_state->mutex);
                if (!m_state->finished) {
                    m_state->onTermination = std::move(handler);
                    return;
                }
            }
            handler();
        }

    private:
        friend class AsyncStream;
        explicit Continuation(std::shared_ptr<State> state)
            : m_state(std::move(state)) {}
        std::shared_ptr<State> m_state;
    };

    class Iterator {
    public:
        // The next element, or nothing at the end. The iterator may go while the call is pending.
        QCoro::Task<std::optional<T>> next() {
            // State is reached through a local: the iterator itself may be moved or freed meanwhile.
            const std::shared_ptr<Consumer> consumer = m_consumer;
            State *const state = consumer->state.get();
            for (;;) {
                std::optional<T> element;
                std::exception_ptr error;
                bool ended = false;
                {
                    std::lock_guard lock(state->mutex);
                    if (!state->buffer.empty()) {
                        element.emplace(std::move(state->buffer.front()));
                        state->buffer.pop_front();
                    } else if (state->finished) {
                        ended = true;
                        error = std::exchange(state->error, nullptr);
                    }
                }
                if (error)
                    std::rethrow_exception(error);
                if (element || ended)
                    co_return element;
                WaitForElement wait{state};
                co_await wait;
            }
        }
        // The consumer stops: the stream terminates, and a pending `next()` answers nothing.
        void cancel() { m_consumer->state->terminate(/*dropBuffer=*/true, nullptr); }

    private:
        friend class AsyncStream;
        explicit Iterator(std::shared_ptr<Consumer> consumer)
            : m_consumer(std::move(consumer)) {}
        std::shared_ptr<Consumer> m_consumer;
    };

    // A new stream and the continuation that feeds it.
    static std::pair<AsyncStream, Continuation> makeStream() {
        auto state = std::make_shared<State>();
        return {AsyncStream(std::make_shared<Consumer>(state)), Continuation(state)};
    }

    Iterator makeAsyncIterator() const { return Iterator(m_consumer); }

private:
    explicit AsyncStream(std::shared_ptr<Consumer> consumer)
        : m_consumer(std::move(consumer)) {}
    std::shared_ptr<Consumer> m_consumer;
};

} // namespace kestrova

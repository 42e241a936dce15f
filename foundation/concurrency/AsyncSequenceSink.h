#pragma once

#include "AsyncSequence.h"
#include "platform/observation/Subscription.h"

#include <QCoro/QCoroTask>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace kestrova {

namespace detail {

// Reports what ended a sink, unless it was a cancellation.
void reportSinkFailure(const std::exception_ptr &failure);

template <typename Iterator, typename T> class SinkRun {
public:
    explicit SinkRun(Iterator consumed)
        : iterator(std::move(consumed)) {}
    void cancel() {
        if (!cancelled.exchange(true))
            cancelIterator(iterator);
    }

    Iterator iterator;
    // Exactly one of the two is set.
    std::function<QCoro::Task<>(const T &)> receiveAsync;
    std::function<void(const T &)> receive;
    std::atomic<bool> cancelled = false;
    // Owns the run while its coroutine runs.
    std::shared_ptr<SinkRun> keepAlive;
};

template <typename Iterator, typename T> QCoro::Task<> runSink(SinkRun<Iterator, T> *run) {
    const std::shared_ptr<SinkRun<Iterator, T>> keepAlive = std::move(run->keepAlive);
    std::exception_ptr failure;
    try {
        // Checked before every element: a cancelled sink asks for nothing more and delivers nothing more.
        while (!run->cancelled) {
            auto next = run->iterator.next();
            std::optional<T> element = co_await next;
            if (!element || run->cancelled)
                break;
            if (run->receiveAsync) {
                auto receiving = run->receiveAsync(*element);
                co_await receiving;
            } else {
                run->receive(*element);
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure)
        reportSinkFailure(failure);
}

} // namespace detail

// Consumes `sequence` on the calling thread's event loop: each element is handed to `receiveValue` (a
// function of `const Element &` answering nothing, or a `QCoro::Task<>` that is awaited before the next
// element is asked for) until the sequence ends or the answered subscription is cancelled or released (then
// no element is delivered any more, and a pending wait for one ends soon after where the sequence's iterator
// can be cancelled, else at the next element). A cancellation error ends it silently; any other error is
// reported once, as a GeneralError "Async stream should not throw: " with the error's description, and ends
// it.
template <AsyncSequence Sequence, typename ReceiveValue>
requires std::invocable<ReceiveValue &, const typename Sequence::Element &>
[[nodiscard]] platform::Subscription sink(Sequence sequence, ReceiveValue receiveValue) {
    using Element = typename Sequence::Element;
    using Iterator = AsyncIteratorOf<Sequence>;
    auto run = std::make_shared<detail::SinkRun<Iterator, Element>>(sequence.makeAsyncIterator());
    if constexpr (std::is_same_v<std::invoke_result_t<ReceiveValue &, const Element &>, QCoro::Task<>>)
        run->receiveAsync = std::move(receiveValue);
    else
        run->receive = std::move(receiveValue);
    run->keepAlive = run;
    detail::runSink(run.get());
    return platform::Subscription([run] { run->cancel(); });
}

} // namespace kestrova

#pragma once

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QDeadlineTimer>

#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>

namespace kestrova::testing {

// Runs the event loop until `condition` holds or `limit` passes; false when it never held.
inline bool processEventsUntil(const std::function<bool()> &condition,
                               std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    QDeadlineTimer deadline(limit);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// Runs the event loop until `task` ends and gives its result, or throws what it threw. (QCoro's own
// waitFor never returns when a task throws after it suspended.) A task still running after five seconds
// fails with std::runtime_error.
template <typename T> T awaitTask(QCoro::Task<T> task) {
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> result;
    std::exception_ptr error;
    bool finished = false;
    [](QCoro::Task<T> task, auto &result, std::exception_ptr &error, bool &finished) -> QCoro::Task<> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await task;
                result = true;
            } else {
                result = co_await task;
            }
        } catch (...) {
            error = std::current_exception();
        }
        finished = true;
    }(std::move(task), result, error, finished);
    if (!processEventsUntil([&] { return finished; }))
        throw std::runtime_error("the task did not finish");
    if (error)
        std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*result);
}

} // namespace kestrova::testing

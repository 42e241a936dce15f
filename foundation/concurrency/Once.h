#pragma once

#include <any>
#include <functional>
#include <mutex>
#include <type_traits>
#include <utility>

namespace kestrova {

// Runs the first closure it is given, once, and answers that closure's result to every caller after it.
//
// The closure runs while the lock is held, so callers racing the first one wait for its result rather
// than running their own. A closure that throws leaves the box not run, so the next caller tries again
// instead of being handed a result that never existed. Every caller must ask for the type the first
// closure returned (anything else throws std::bad_any_cast). Calling `run` from inside its own closure
// deadlocks and must not be done.
class Once {
public:
    Once() = default;
    Once(const Once &) = delete;
    Once &operator=(const Once &) = delete;

    template <typename Body> std::invoke_result_t<Body> run(Body &&body) {
        using Result = std::invoke_result_t<Body>;
        std::lock_guard hold(m_lock);
        if (m_hasRun) {
            if constexpr (std::is_void_v<Result>)
                return;
            else
                return std::any_cast<Result>(m_value);
        }
        if constexpr (std::is_void_v<Result>) {
            std::forward<Body>(body)();
            m_hasRun = true;
        } else {
            m_value = std::forward<Body>(body)();
            m_hasRun = true;
            return std::any_cast<Result>(m_value);
        }
    }

    bool hasRun() const {
        std::lock_guard hold(m_lock);
        return m_hasRun;
    }

private:
    mutable std::mutex m_lock;
    bool m_hasRun = false;
    std::any m_value;
};

// A closure queued to run at most once: the first call runs it and drops it; later calls do nothing.
// Safe to call from several threads; the closure runs outside the lock, so it may call back in.
class Once2 {
public:
    explicit Once2(std::function<void()> body)
        : m_queued(std::move(body)) {}
    Once2(const Once2 &) = delete;
    Once2 &operator=(const Once2 &) = delete;

    void operator()() {
        std::function<void()> body;
        {
            std::lock_guard hold(m_lock);
            body = std::exchange(m_queued, nullptr);
        }
        if (body)
            body();
    }

    // False once the closure has been taken to run.
    bool isQueued() const {
        std::lock_guard hold(m_lock);
        return m_queued != nullptr;
    }

private:
    mutable std::mutex m_lock;
    std::function<void()> m_queued;
};

} // namespace kestrova

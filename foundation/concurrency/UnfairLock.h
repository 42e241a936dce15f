#pragma once

#include <memory>
#include <mutex>

namespace kestrova {

// A plain exclusive lock for short critical sections (acquire, work, release). The lock lives in a cell of
// its own that never moves while in use. It must be released by the thread that acquired it, and it is not
// recursive. Meets the standard Lockable requirements, so std::lock_guard and std::scoped_lock take it.
class UnfairLock {
public:
    UnfairLock()
        : m_lock(std::make_unique<std::mutex>()) {}
    UnfairLock(const UnfairLock &) = delete;
    UnfairLock &operator=(const UnfairLock &) = delete;

    void lock() { m_lock->lock(); }
    bool try_lock() { return m_lock->try_lock(); }
    void unlock() { m_lock->unlock(); }

private:
    std::unique_ptr<std::mutex> m_lock;
};

} // namespace kestrova

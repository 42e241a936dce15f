#pragma once

#include "foundation/values/AggregateHashable.h"
#include "foundation/concurrency/AtomicDictionary.h"

#include <QString>

#include <any>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <source_location>
#include <thread>
#include <vector>

namespace kestrova {

// Remembers results of expensive calls for a short time, keyed by the call site and the values the result
// depends on. Expired entries are evicted inline when the last eviction is a minute old, otherwise by a
// deferred clean-up some seconds after the last burst of use (which writes "CLEANUP" to standard output).
// Any thread may memoize; two threads missing the same key both compute and the later write wins.
class MemoCache {
public:
    // Seconds on a monotonic clock.
    using Clock = std::function<double()>;

    static MemoCache &shared();

    explicit MemoCache(std::chrono::milliseconds deferredCleanupDelay = std::chrono::seconds(10),
                       Clock now = {});
    // Cancels a pending clean-up and waits for it to stop.
    ~MemoCache();
    MemoCache(const MemoCache &) = delete;
    MemoCache &operator=(const MemoCache &) = delete;

    // The cached value when it was stored less than `duration` seconds ago, else `compute`'s fresh result.
    // The stored time is not renewed by a hit.
    template <typename Result>
    Result memoize(std::vector<AnyHashable> key, double duration, const std::function<Result()> &compute,
                   std::source_location location = std::source_location::current()) {
        const AggregateHashable fullKey = makeKey(std::move(key), location);
        if (const auto entry = m_store.value(fullKey); entry && entry->storedAt + duration > now()) {
            scheduleMemoCleanup(duration);
            return std::any_cast<Result>(entry->value);
        }
        Result result = compute();
        m_store.setValue(fullKey, Entry{now(), result});
        scheduleMemoCleanup(duration);
        return result;
    }

    // Every second call: evicts now when the last eviction is over 60 seconds old; otherwise, unless one was
    // scheduled in the last 2 seconds, replaces the pending deferred clean-up with a new one.
    void scheduleMemoCleanup(double lifetime);
    // Removes the entries stored `lifetime` seconds ago or earlier.
    void evict(double lifetime);

    qsizetype count() const;
    int evictionCount() const;
    bool hasPendingCleanup() const;

private:
    struct Entry {
        double storedAt = 0;
        std::any value;
    };

    static AggregateHashable makeKey(std::vector<AnyHashable> values, const std::source_location &location);
    double now() const { return m_now(); }
    void startDeferredCleanup(double lifetime);

    const std::chrono::milliseconds m_deferredCleanupDelay;
    Clock m_now;
    AtomicDictionary<AggregateHashable, Entry> m_store;

    mutable std::mutex m_cleanupMutex;
    double m_lastCleanup;
    double m_lastSchedule;
    bool m_skipToggle = false;
    int m_evictionCount = 0;
    std::unique_ptr<std::jthread> m_cleanupTask;
};

// Memoizes in the process-wide cache.
template <typename Result>
Result memoize(std::vector<AnyHashable> key, double duration, const std::function<Result()> &compute,
               std::source_location location = std::source_location::current()) {
    return MemoCache::shared().memoize<Result>(std::move(key), duration, compute, location);
}

} // namespace kestrova

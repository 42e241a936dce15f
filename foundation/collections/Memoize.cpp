#include "Memoize.h"

#include <cstdio>
#include <limits>

namespace kestrova {
namespace {

constexpr double kInlineCleanupInterval = 60;
constexpr double kRescheduleInterval = 2;

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

MemoCache &MemoCache::shared() {
    static auto *cache = new MemoCache;
    return *cache;
}

MemoCache::MemoCache(std::chrono::milliseconds deferredCleanupDelay, Clock now)
    : m_deferredCleanupDelay(deferredCleanupDelay)
    , m_now(now ? std::move(now) : Clock(steadySeconds))
    , m_lastCleanup(-std::numeric_limits<double>::infinity())
    , m_lastSchedule(-std::numeric_limits<double>::infinity()) {}

MemoCache::~MemoCache() {
    std::unique_ptr<std::jthread> task;
    {
        std::lock_guard hold(m_cleanupMutex);
        task = std::move(m_cleanupTask);
    }
    // Destroying the thread asks it to stop and waits; outside the lock, which the clean-up takes.
}

AggregateHashable MemoCache::makeKey(std::vector<AnyHashable> values, const std::source_location &location) {
    std::vector<AnyHashable> elements{QString::fromUtf8(location.file_name()),
                                      QString::fromUtf8(location.function_name()),
                                      static_cast<qint64>(location.line())};
    elements.insert(elements.end(), std::make_move_iterator(values.begin()),
                    std::make_move_iterator(values.end()));
    return AggregateHashable(std::move(elements));
}

void MemoCache::scheduleMemoCleanup(double lifetime) {
    const double current = now();
    bool evictNow = false;
    std::unique_ptr<std::jthread> cancelled;
    {
        std::lock_guard hold(m_cleanupMutex);
        const bool skip = m_skipToggle;
        m_skipToggle = !m_skipToggle;
        if (skip)
            return;
        if (!(m_lastCleanup >= current - kInlineCleanupInterval && m_lastCleanup <= current)) {
            evictNow = true;
        } else if (m_lastSchedule >= current - kRescheduleInterval && m_lastSchedule <= current) {
            return;
        } else {
            cancelled = std::move(m_cleanupTask);
            m_lastSchedule = current;
        }
    }
    if (evictNow) {
        evict(lifetime);
        return;
    }
    cancelled.reset(); // stops the earlier clean-up before the new one starts
    startDeferredCleanup(lifetime);
}

void MemoCache::startDeferredCleanup(double lifetime) {
    auto task = std::make_unique<std::jthread>([this, lifetime](std::stop_token stop) {
        std::mutex sleepMutex;
        std::condition_variable_any wake;
        std::unique_lock sleeping(sleepMutex);
        if (wake.wait_for(sleeping, stop, m_deferredCleanupDelay, [] { return false; }) ||
            stop.stop_requested())
            return;
        evict(lifetime);
        std::fputs("CLEANUP\n", stdout);
        std::fflush(stdout);
    });
    std::lock_guard hold(m_cleanupMutex);
    // A task started meanwhile by another caller is replaced too; its destruction waits for it to stop.
    std::swap(m_cleanupTask, task);
}

void MemoCache::evict(double lifetime) {
    const double current = now();
    for (const auto &[key, entry] : m_store.keyValuePairs())
        if (entry.storedAt + lifetime < current)
            m_store.setValue(key, std::nullopt);
    std::lock_guard hold(m_cleanupMutex);
    m_lastCleanup = current;
    ++m_evictionCount;
}

qsizetype MemoCache::count() const {
    return qsizetype(m_store.keyValuePairs().size());
}

int MemoCache::evictionCount() const {
    std::lock_guard hold(m_cleanupMutex);
    return m_evictionCount;
}

bool MemoCache::hasPendingCleanup() const {
    std::lock_guard hold(m_cleanupMutex);
    return m_cleanupTask != nullptr;
}

} // namespace kestrova

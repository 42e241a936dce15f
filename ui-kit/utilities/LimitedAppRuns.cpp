#include "LimitedAppRuns.h"

#include "store/Defaults.h"

#include <limits>

namespace kestrova {

namespace {

constexpr qint64 kFinished = std::numeric_limits<qint64>::max();

Defaults::Key<std::int64_t> countKey(const QString &id,
                                     const std::shared_ptr<platform::UserDefaults> &suite) {
    return Defaults::Key<std::int64_t>(LimitedAppRuns::storageKey(id), 0, suite);
}

} // namespace

LimitedAppRuns::LimitedAppRuns(std::shared_ptr<platform::UserDefaults> suite)
    : m_suite(std::move(suite)) {}

LimitedAppRuns &LimitedAppRuns::shared() {
    static LimitedAppRuns runs(platform::UserDefaults::standard());
    return runs;
}

bool LimitedAppRuns::shouldRun(const QString &id, qint64 count, qint64 startingAt, bool oncePerRun) {
    std::lock_guard lock(m_mutex);
    qint64 runCount = 0;
    if (const auto cached = m_runCounts.constFind(id); cached != m_runCounts.cend()) {
        runCount = *cached;
    } else {
        const auto key = countKey(id, m_suite);
        runCount = Defaults::get(key);
        if (runCount != kFinished) {
            runCount = std::max<qint64>(runCount, 0) + 1;
            Defaults::set(key, std::int64_t(runCount));
        }
        m_runCounts.insert(id, runCount);
    }
    if (m_consumed.contains(id))
        return false;
    // Written so that a large count cannot overflow the upper bound.
    if (runCount < startingAt || runCount - startingAt >= count)
        return false;
    if (oncePerRun)
        m_consumed.insert(id);
    return true;
}

qint64 LimitedAppRuns::runCount(const QString &id) const {
    return Defaults::get(countKey(id, m_suite));
}

void LimitedAppRuns::finish(const QString &id) {
    std::lock_guard lock(m_mutex);
    Defaults::set(countKey(id, m_suite), std::int64_t(kFinished));
    m_runCounts.insert(id, kFinished);
}

} // namespace kestrova

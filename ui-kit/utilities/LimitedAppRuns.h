#pragma once

#include "platform/defaults/UserDefaults.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <memory>
#include <mutex>

namespace kestrova {

// Counts, per identifier, the application runs in which the identifier was asked about, so that a tip or
// a hint shows only in the first few runs. The count is stored under "Kv_LimitedAppRuns_" + identifier
// and rises at most once per run, the first time the identifier is asked about; the largest integer means
// finished for good.
//
// One instance stands for one run of the application: shared() is the process's, and a test makes a new
// instance over the same suite to play the next run. Safe to use from any thread.
class LimitedAppRuns {
public:
    explicit LimitedAppRuns(std::shared_ptr<platform::UserDefaults> suite);

    static LimitedAppRuns &shared();

    // Whether the identifier's run count lies in [startingAt, startingAt + count). With `oncePerRun`, a
    // true answer also uses the identifier up for this run, so later questions in the run answer false.
    bool shouldRun(const QString &id, qint64 count, qint64 startingAt = 1, bool oncePerRun = false);
    // The stored count; 0 when none.
    qint64 runCount(const QString &id) const;
    // Never runs again, in this run or any later one.
    void finish(const QString &id);

    static QString storageKey(const QString &id) { return QStringLiteral("Kv_LimitedAppRuns_") + id; }

private:
    std::shared_ptr<platform::UserDefaults> m_suite;
    mutable std::mutex m_mutex;
    QHash<QString, qint64> m_runCounts;
    QSet<QString> m_consumed;
};

} // namespace kestrova

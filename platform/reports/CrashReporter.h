#pragma once

#include <QString>
#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace kestrova::platform {

// Keeps reports of errors on disk for the user or a developer to look at; nothing is ever sent anywhere.
//
// Each captured error becomes one envelope file in `<state folder>/reports/`: a gzip stream of a JSON
// header line and a line with the event as JSON (its id, time, level, release and the error's domain, code
// and user info). Files are written atomically by a worker thread of their own, so capturing costs the
// caller only the conversion to JSON; at most `kMaximumReportCount` files are kept, the oldest dropped
// first. User-info values that JSON cannot hold are written as text; text that is not valid UTF-8 is
// repaired. Nothing here throws into the caller.
//
// "Crashed last run" is told by marker files, one per running process: `markRunning` creates one in the
// state folder and holds an exclusive lock on it for as long as the process lives, and `markCleanExit`
// removes it. The lock dies with the process, however it ends: a marker that nobody holds locked was left
// by a run that ended without a clean exit. A marker still locked belongs to an instance that is running
// (a relaunched instance starts before the old one has quit, and a second instance may run beside the
// first), so it says nothing about the last run.
class CrashReporter {
public:
    static constexpr int kMaximumReportCount = 100;
    static constexpr int kMaximumPendingCount = 100;

    // The process's reporter, in `defaultStateDirectory()` as it was at first use; never destroyed.
    static CrashReporter &shared();
    // $XDG_STATE_HOME/kestrova, or ~/.local/state/kestrova when that variable is unset or not absolute.
    static QString defaultStateDirectory();

    explicit CrashReporter(QString stateDirectory);
    // Writes what is still queued, waiting a short while at most.
    ~CrashReporter();
    CrashReporter(const CrashReporter &) = delete;
    CrashReporter &operator=(const CrashReporter &) = delete;

    QString stateDirectory() const { return m_stateDirectory; }
    QString reportsDirectory() const;
    // This reporter's marker: "running-<process id>-<random>" in the state folder; empty before
    // `markRunning` has written one.
    QString runningMarkerPath() const;

    // Queues the error's envelope and answers its event id (32 hex digits), or an empty text when the
    // error was dropped because too many are waiting to be written.
    QString captureError(const QString &domain, qint64 code, const QVariantMap &userInfo) noexcept;

    // Whether an earlier run left its marker behind: as found by `markRunning`, or, before that has run,
    // whether an abandoned marker is there now.
    bool crashedLastRun() const;
    // Looks for abandoned markers (and removes them), then writes and locks this process's own. Calling
    // it again while the marker is held does nothing.
    void markRunning() noexcept;
    // Writes the queued envelopes first (a short while at most), then removes the marker. Safe to call
    // more than once.
    void markCleanExit() noexcept;

    // Waits until every queued envelope is written or `timeout` passes; true when none is left.
    bool waitForPendingReports(std::chrono::milliseconds timeout);

private:
    class Writer;

    QString m_stateDirectory;
    // -1 until `markRunning` has looked, then 0 or 1.
    std::atomic<int> m_crashedLastRun{-1};
    mutable std::mutex m_markerMutex;
    QString m_markerPath;
    // The open, locked marker; -1 when none is held.
    int m_markerDescriptor = -1;
    std::unique_ptr<Writer> m_writer;
};

} // namespace kestrova::platform

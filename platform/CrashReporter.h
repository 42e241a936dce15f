#pragma once

#include <QString>
#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <memory>

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
// "Crashed last run" is told by a marker file: `markRunning` writes it at start and `markCleanExit`
// removes it at a clean exit, so a marker found at start was left by a run that ended any other way.
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
    QString runningMarkerPath() const;

    // Queues the error's envelope and answers its event id (32 hex digits), or an empty text when the
    // error was dropped because too many are waiting to be written.
    QString captureError(const QString &domain, qint64 code, const QVariantMap &userInfo) noexcept;

    // Whether the previous run left its marker behind: as found by `markRunning`, or, before that has run,
    // whether a marker is there now.
    bool crashedLastRun() const;
    void markRunning() noexcept;
    // Writes the queued envelopes first (a short while at most), then removes the marker.
    void markCleanExit() noexcept;

    // Waits until every queued envelope is written or `timeout` passes; true when none is left.
    bool waitForPendingReports(std::chrono::milliseconds timeout);

private:
    class Writer;

    QString m_stateDirectory;
    // -1 until `markRunning` has looked, then 0 or 1.
    std::atomic<int> m_crashedLastRun{-1};
    std::unique_ptr<Writer> m_writer;
};

} // namespace kestrova::platform

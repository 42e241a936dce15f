#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace kestrova {

// A process as /proc shows it.
struct RunningProcess {
    std::int32_t processIdentifier = 0;
    QString name;              // the kernel's short command name
    QByteArray executablePath; // empty when /proc does not say (another user's process, or it has ended)
};

// Which process launched this one, found by walking /proc up from our parent to the top-most ancestor below
// PID 1 or below a service manager ("systemd"). That answers "who started me" (a terminal's shell, a
// desktop launcher, the session), not "who asked to open me": a launch handed over by another process, or a
// parent that exited before we looked (we are then re-parented), leaves it unknown or names the re-parenting
// process's child. Process identifiers can be reused, so the answer is a hint, not a proof.
struct LaunchingProcess {
    // Computed once, on first use.
    static std::optional<std::int32_t> processID();
    static std::optional<RunningProcess> application();

    // The walk itself, from `start` over the process table under `procRoot`; nothing when `start` is 1 or
    // less. When a record cannot be read midway, the answer is `start`.
    static std::optional<std::int32_t> rootProcessID(std::int32_t start,
                                                     const QByteArray &procRoot = "/proc");
    // The parent identifier from a record; nothing when the record is missing or malformed.
    static std::optional<std::int32_t> parentProcessID(std::int32_t process,
                                                       const QByteArray &procRoot = "/proc");
    static std::optional<RunningProcess> runningProcess(std::int32_t process,
                                                        const QByteArray &procRoot = "/proc");
};

} // namespace kestrova

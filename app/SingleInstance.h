#pragma once

#include <QDBusConnection>
#include <QString>

#include <chrono>

namespace kestrova {

// One running instance per user and session: the instance that owns the application's name on the session
// bus runs; a second start finds the name taken and leaves. A relaunched instance is started while the old
// one still runs, so it queues for the name and waits until the old one has ended and given it up.
class SingleInstance {
public:
    enum class Outcome {
        // This instance owns the name (or there is no session bus to ask).
        primary,
        // Another instance owns the name.
        anotherIsRunning,
        // Relaunched, but the old instance did not give the name up in time.
        previousDidNotEnd,
    };

    static constexpr std::chrono::seconds kRelaunchWaitLimit{10};

    // Claims `name` on `bus`. With `isRelaunch` it waits, up to `waitLimit`, for the owner to go.
    static Outcome claim(QDBusConnection bus, const QString &name, bool isRelaunch,
                         std::chrono::milliseconds waitLimit = kRelaunchWaitLimit);

    // Marks the environment that a new instance started from here inherits as a relaunch.
    static void markRelaunch();
    // Whether this process was started by a relaunch; clears the mark so that nothing this process starts
    // inherits it.
    static bool takeRelaunchMark();

    // Asks the running instance to open its settings window; answers the one line to tell the user.
    static QString askRunningInstanceToShowSettings(QDBusConnection bus);
};

} // namespace kestrova

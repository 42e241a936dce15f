#pragma once

#include "platform/values/Date.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace kestrova {
namespace platform {
class KeyboardState;
class UserDefaults;
class PropertyListValue;
} // namespace platform

// The launch chords: modifier keys held while the application starts.
enum class LaunchChord { none, debugMode, supportWindow, deleteDataAndSettings };
// Caps Lock, the numeric pad and Fn do not count; any other extra key (Help included) spoils every chord.
LaunchChord launchChord(quint64 modifierFlags);

// Work to run once launching has finished: the kit runs the list on its first turn of the main event loop,
// before the Debug menu, and empties it. Nothing in the application adds to it; it is there for whoever
// hosts the kit. Main thread only.
namespace LaunchCompletions {
void add(std::function<void()> completion);
// Runs each completion in the order added, then empties the list (completions added meanwhile wait for
// the next run).
void runFinishedLaunchingCompletions();
} // namespace LaunchCompletions

// Every launch passes through the kit's one object. Creating it counts the launch, fixes the first-launch
// and launch dates, registers the kit's defaults, reads the crash flag and the launch chords, and queues
// the work of the first turns of the main event loop (support window, the delete-data question, the Debug
// menu, Settings after a relaunch). Created on the main thread; lives until the process ends.
class KvKit {
public:
    struct Metadata {
        std::optional<QUrl> website;
        std::optional<QString> appStoreId;
    };

    // What a launch reads; tests give their own.
    struct Environment {
        std::shared_ptr<platform::UserDefaults> defaults;
        std::shared_ptr<platform::KeyboardState> keyboard;
        std::function<bool()> crashedLastRun;
        std::function<void()> deleteDataAndSettings;
    };

    // The application's kit, created on first use with the standard settings, the desktop's keyboard and
    // the crash reporter.
    static KvKit &shared();
    static const Metadata &metadata();

    explicit KvKit(Environment environment);
    KvKit(const KvKit &) = delete;
    KvKit &operator=(const KvKit &) = delete;

    qint64 launchCount() const { return m_launchCount; }
    bool isFirstLaunch() const { return m_launchCount == 1; }
    platform::Date firstLaunchDate() const { return m_firstLaunchDate; }
    platform::Date launchDate() const { return m_launchDate; }
    bool hasCrashed() const { return m_hasCrashed; }

    // The stored launch count plus one: a stored integer, or text that reads as a JSON integer, counts;
    // anything else counts as 0. Saturates rather than overflow.
    static qint64 nextLaunchCount(const std::optional<platform::PropertyListValue> &stored);
    // The stored first-launch date, or now, stored at once.
    static platform::Date firstLaunchDate(platform::UserDefaults &defaults);

private:
    // Holds what it needs by value: it runs a turn after creation.
    static void askToDeleteDataAndSettings(const Environment &environment);

    Environment m_environment;
    qint64 m_launchCount = 0;
    platform::Date m_firstLaunchDate;
    platform::Date m_launchDate;
    bool m_hasCrashed = false;
};

} // namespace kestrova

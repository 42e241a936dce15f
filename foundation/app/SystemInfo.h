#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

#include <functional>
#include <map>
#include <optional>

namespace kestrova {
namespace platform {
class UserDefaults;
}

// The readings behind the application and system facts of `KvApp`, each from the text or bytes the system
// gives, so that they can be checked without the system.
namespace SystemInfo {

// "6.1.0-18-amd64" gives "6.1.0"; missing parts count as 0, so the answer always has three numbers.
QString osVersionFromRelease(const QString &release);
// The key-value lines of an os-release file; quotes are removed.
std::map<QString, QString> parseOsRelease(const QByteArray &contents);
// The model bytes of the firmware or the device tree: one trailing zero byte dropped, then UTF-8;
// "<Unknown model>" when empty or not valid UTF-8.
QString hardwareModelFromBytes(const std::optional<QByteArray> &bytes);
// ASCII only, control characters trimmed at both ends; "unknown" otherwise.
QString machineArchitectureFromBytes(const QByteArray &machine);
// Inside a Flatpak sandbox: FLATPAK_ID is set (whatever its value) or `flatpakInfoExists`.
bool isSandboxed(const QProcessEnvironment &environment, bool flatpakInfoExists);

// True when "Kv_Sentry_hasCrashed" holds true; otherwise asks `crashedLastRun` and stores true when it
// says so.
bool stickyCrashFlag(platform::UserDefaults &defaults, const std::function<bool()> &crashedLastRun);

} // namespace SystemInfo
} // namespace kestrova

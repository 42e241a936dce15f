#pragma once

#include "foundation/concurrency/AtomicDictionary.h"
#include "foundation/errors/Error.h"
#include "platform/values/Date.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <optional>
#include <set>
#include <source_location>
#include <utility>

namespace kestrova {

// Context attached to every error report; the metadata wins over the report's own entries.
AtomicDictionary<QString, QVariant> &errorReportingMetadata();

// The kit's process-wide application values and operations.
namespace KvApp {

// A (domain, code) pair of errors that are never reported.
using IgnoredReportError = std::pair<QString, qint64>;
using ErrorPredicate = std::function<bool(const Error &)>;

// Empty unless replaced.
std::set<IgnoredReportError> ignoredReportErrors();
void setIgnoredReportErrors(std::set<IgnoredReportError> errors);

// Accepts every error unless replaced. Runs on the reporting thread, outside any lock of the reporter.
ErrorPredicate shouldReportError();
void setShouldReportError(ErrorPredicate predicate);

// Hands an unexpected error to the crash reporter and returns; the caller carries on. Cancellations,
// ignored errors and those `shouldReportError` turns down are dropped silently. The report's user info is
// `userInfo` plus "file" and "line" of the caller (where `userInfo` has no such key) with the metadata
// stored over it, and the error is rewritten by `Error::reportable`. Never throws, never blocks for long,
// may be called from any thread.
void reportError(const Error &error, const UserInfo &userInfo = {},
                 std::source_location location = std::source_location::current()) noexcept;

// What this application is and where it runs. Each value is computed once, at first use, and then the same
// for the whole process; any thread may read them.
const QString &id();        // "org.kestrova.Kestrova"
const QString &name();      // "Kestrova"
const QString &version();   // from the build system
const QString &build();     // from the build system
QString versionWithBuild(); // "1.2.0 (42)"
// The running executable.
const QUrl &url();
// Running inside a Flatpak sandbox.
bool isSandboxed();
// Whether any earlier run ended in a crash; sticky once seen (stored under "Kv_Sentry_hasCrashed").
bool hasCrashed();
const QString &osVersion();            // the kernel release as three numbers, "6.1.0"
const QString &osBuild();              // the distribution's build or version id, else "<Unknown build>"
QString osVersionWithBuild();          // "6.1.0 (12)"
const QString &osVersionDescription(); // the distribution's name and osVersionWithBuild
const QString &hardwareModel(); // from the firmware's product name or the device tree, else "<Unknown model>"
const QString &machineArchitecture(); // uname's machine, "x86_64", else "unknown"
std::optional<QUrl> website();

// Capabilities a build can be granted. This build is not sandboxed: it reaches the network and any file the
// user picks, and asks for no device or personal data.
enum class Entitlement {
    appSandbox,
    automationAppleEvents,
    networkClient,
    networkServer,
    deviceBluetooth,
    deviceCamera,
    deviceMicrophone,
    devicePrint,
    deviceUsb,
    personalInformationAddressbook,
    personalInformationCalendars,
    personalInformationLocation,
    assetsMoviesReadOnly,
    assetsMoviesReadWrite,
    assetsMusicReadOnly,
    assetsMusicReadWrite,
    assetsPicturesReadOnly,
    assetsPicturesReadWrite,
    filesDownloadsReadOnly,
    filesDownloadsReadWrite,
    filesUserSelectedReadOnly,
    filesUserSelectedReadWrite,
};
QString entitlementKey(Entitlement entitlement);
// Answered from what this build really has, never "all granted".
bool hasEntitlement(Entitlement entitlement);

// The launch facts of this process, fixed when the kit is created (see KvKit).
qint64 launchCount();
bool isFirstLaunch();
platform::Date firstLaunchDate();
platform::Date launchDate();
// Shift+Control held at launch: an in-app log and a Debug menu for this process. Read once, on the main
// thread while the kit is created; a read on another thread before that answers false.
bool isDebugMode();

// What the layers above the kit fill in at start-up. Unset hooks do nothing.
struct ApplicationHooks {
    std::function<void()> showSupportWindow;  // the support window
    std::function<void()> showSettingsWindow; // the Settings window
    // Adds the Debug menu to the application's main menu; a tray application has none.
    std::function<void()> addDebugMenu;
    // Brings the application forward before an application-modal alert.
    std::function<void()> activateApplication;
    // Runs just before a new instance is started, so that the old one lets go of what the new one needs
    // (global hot keys).
    std::function<void()> willRelaunch;
};
ApplicationHooks hooks();
void setHooks(ApplicationHooks hooks);

// How a relaunch starts the new instance and ends this one; replaced in tests.
struct RelaunchOperations {
    // Starts `program` detached, with an argument list (never a shell); false when it did not start.
    std::function<bool(const QString &program, const QStringList &arguments)> startProcess;
    // Launches the installed application whose desktop entry `application` is; false when it did not start.
    std::function<bool(const QUrl &application)> openApplication;
    // Asks the application to quit on a later turn, through its normal termination.
    std::function<void()> terminate;
    // Ends the process at once with `status`.
    std::function<void(int status)> exitNow;
};
RelaunchOperations relaunchOperations();
void setRelaunchOperations(RelaunchOperations operations);

// Makes the settings durable, starts a new instance and quits this one; with `showSettings` the new
// instance opens Settings. When the new instance cannot be started, the error is reported and shown (unless
// `exitImmediately`), and this process ends anyway: with status 1 when it had to exit at once.
QCoro::Task<> relaunch(bool exitImmediately = false, bool showSettings = false);
// The same, started without waiting for it.
void startRelaunch(bool exitImmediately = false, bool showSettings = false);
// Opens the Settings window on a later turn of the main event loop.
void showSettingsWindowAsync();
// Asks the application to quit on a later turn.
void quit();

// Removes this application's settings and its own config, data, cache and state folders (to the Trash).
void deleteDataAndSettings();
// Adds the Debug menu in debug mode, where the application has a main menu to add it to.
void addDebugMenu();
// "Label: value" lines about the application and the system, then the debug-information extras.
QString debugInfoText();
// The feedback form's address with "product", "metadata" (the debug information) and, when given,
// "messageField" and "extraInfo" as its query.
QUrl feedbackPageURL(const std::optional<QString> &message = std::nullopt,
                     const std::optional<QString> &extraInfo = std::nullopt);
// Label to value, appended to the debug information; empty at start.
AtomicDictionary<QString, QVariant> &debugInfoExtras();

} // namespace KvApp
} // namespace kestrova

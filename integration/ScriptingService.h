#pragma once

#include "Folder_.h"
#include "SetFolderVisibilityIntentHandler.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QVariantMap>

#include <functional>
#include <variant>

namespace kestrova {

// The running application's service on the session bus: the two scriptable actions (list the folders, show
// or hide some of them) and a request to open the settings window, which a second start of the application
// sends before it leaves. Callers are untrusted: a refused call gets an error reply and changes nothing.
//
//   name       org.kestrova.Kestrova (owned by the application's start-up)
//   object     /org/kestrova/Kestrova
//   interfaces org.kestrova.Kestrova.FolderActions1, org.kestrova.Kestrova.Application1
// Error replies go through the service: calls to its adaptors carry their context on it.
class ScriptingService : public QObject, public QDBusContext {
    Q_OBJECT
public:
    static constexpr auto kServiceName = "org.kestrova.Kestrova";
    static constexpr auto kObjectPath = "/org/kestrova/Kestrova";
    static constexpr auto kFolderActionsInterface = "org.kestrova.Kestrova.FolderActions1";
    static constexpr auto kApplicationInterface = "org.kestrova.Kestrova.Application1";
    // Error names of refused calls.
    static constexpr auto kRelaunchingError = "org.kestrova.Kestrova.Error.Relaunching";
    static constexpr auto kUnknownFolderError = "org.kestrova.Kestrova.Error.UnknownFolder";
    static constexpr auto kFailedError = "org.kestrova.Kestrova.Error.Failed";
    static constexpr auto kNotAvailableError = "org.kestrova.Kestrova.Error.NotAvailable";
    static constexpr int kRelaunchDelayMilliseconds = 200;

    struct Environment {
        // Starts the new instance and ends this one.
        std::function<void()> relaunch;
        // Opens the settings window; false when this build has none.
        std::function<bool()> showSettingsWindow;
        // Completes the application's start when a call comes while it is still starting, so that the
        // call is answered as it would be once the application runs; may be empty.
        std::function<void()> finishStarting;
    };

    explicit ScriptingService(Environment environment, QObject *parent = nullptr);

    // Puts the object on `connection`; false when the path is taken.
    bool registerObject(QDBusConnection connection);
    // From the visibility change's answer (or any other relaunch) until the process ends, every call is
    // refused: the new instance answers once it runs.
    bool isRelaunching() const { return m_isRelaunching; }
    void beginRelaunch() { m_isRelaunching = true; }

    // One folder as a dictionary: "identifier", "displayString", "isVisible" and, when known,
    // "subtitleString", "path" (plain text), "uri" (the exact path, percent-encoded) and "displayImage"
    // (PNG).
    static QVariantMap toDictionary(const Folder_ &folder);
    // The call's parameters: "folder" (as), "isVisible", "showOtherFolders", "hideOtherFolders" (b), each
    // optional; an unknown key or a value of another type is refused.
    static std::variant<SetFolderVisibilityIntent, IntentError>
    intentFromParameters(const QVariantMap &parameters);

private:
    friend class FolderActionsAdaptor;
    friend class ApplicationAdaptor;

    void scheduleRelaunch();
    // Finishes the start and answers false; while relaunching, answers the caller with the refusal and
    // true.
    bool refuseWhileRelaunching();

    Environment m_environment;
    bool m_isRelaunching = false;
};

class FolderActionsAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kestrova.Kestrova.FolderActions1")
public:
    explicit FolderActionsAdaptor(ScriptingService *service);

public Q_SLOTS:
    // The answer code (always 4, success) and every stored folder, hidden ones too, in stored order.
    int GetFolders(QList<QVariantMap> &folders);
    // The folders a caller may choose from.
    QList<QVariantMap> FolderOptions();
    // Answers 4 (success) once the list is on disk; the application relaunches 0.2 s later.
    int SetFolderVisibility(const QVariantMap &parameters);

private:
    ScriptingService *m_service;
};

class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kestrova.Kestrova.Application1")
public:
    explicit ApplicationAdaptor(ScriptingService *service);

public Q_SLOTS:
    // Opens the settings window; refused with NotAvailable when there is none to open.
    void ShowSettings();

private:
    ScriptingService *m_service;
};

} // namespace kestrova

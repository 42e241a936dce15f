#pragma once

#include <QStringList>
#include <QWidget>

namespace kestrova {

namespace platform {
class UserDefaults;
}

// The "Settings" page of the debug window: one switch per logging category of the application, which turns
// on its debug messages (to standard error and the system log) from the next launch on. The chosen
// categories are stored under kKey; a change relaunches the application, which applies them as it starts
// (QT_LOGGING_RULES still wins over them). Main thread only.
class DebugLoggingSettings : public QWidget {
    Q_OBJECT
public:
    static constexpr auto kKey = "Kv_debugLoggingCategories";

    explicit DebugLoggingSettings(QWidget *parent = nullptr);

    // The application's logging categories, in the order the page lists them.
    static const QStringList &categories();
    // The filter rules that turn on the debug messages of `enabled` ("kestrova.hotkeys.debug=true", one a
    // line); names that are not the application's are left out.
    static QString filterRules(const QStringList &enabled);
    // The categories stored in `defaults` (none when the value is not a list of texts).
    static QStringList storedCategories(const platform::UserDefaults &defaults);
    // Applies the stored categories to this process; run at start-up.
    static void applyStoredRules(const platform::UserDefaults &defaults);
};

} // namespace kestrova

#include "Bootwick.h"

#include "DesktopEntry.h"

#include "foundation/app/KvApp.h"
#include "store/Defaults.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <optional>
#include <vector>

Q_LOGGING_CATEGORY(lcBootwick, "kestrova.Bootwick.main")

namespace kestrova::Bootwick {
namespace {

QString autostartFileName() {
    return KvApp::id() + QStringLiteral(".desktop");
}

// The same entry name in the system's autostart folders ($XDG_CONFIG_DIRS), which a user entry overrides.
bool hasSystemEntry() {
    const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (const QString &folder : folders) {
        if (folder != userFolder &&
            QFileInfo::exists(folder + QStringLiteral("/autostart/") + autostartFileName()))
            return true;
    }
    return false;
}

QString canonicalProgram(const QString &program) {
    const QString found = program.contains(u'/') ? program : QStandardPaths::findExecutable(program);
    return found.isEmpty() ? QString() : QFileInfo(found).canonicalFilePath();
}

bool startsThisProgram(const DesktopEntry &entry) {
    const auto exec = entry.value(QStringLiteral("Exec"));
    const auto arguments = exec ? DesktopEntry::splitExec(*exec) : std::nullopt;
    if (!arguments || arguments->empty())
        return false;
    const QString program = canonicalProgram(arguments->front());
    return !program.isEmpty() &&
           program == QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
}

DesktopEntry enabledEntry() {
    DesktopEntry entry;
    entry.setValue(QStringLiteral("Type"), QStringLiteral("Application"));
    entry.setValue(QStringLiteral("Name"), KvApp::name());
    entry.setValue(QStringLiteral("Comment"), QStringLiteral("Folders in the status area"));
    entry.setValue(QStringLiteral("Icon"), KvApp::id());
    entry.setValue(QStringLiteral("Exec"), DesktopEntry::execFor(QCoreApplication::applicationFilePath()));
    entry.setValue(QStringLiteral("Terminal"), QStringLiteral("false"));
    entry.setValue(QStringLiteral("X-GNOME-Autostart-enabled"), QStringLiteral("true"));
    return entry;
}

// Whether the entry went as asked; the reason is logged.
bool apply(bool enabled) {
    const QString path = autostartFilePath();
    if (enabled) {
        if (!enabledEntry().write(path)) {
            qCWarning(lcBootwick, "Failed to enable launch at login: %s could not be written",
                      qPrintable(path));
            return false;
        }
        return true;
    }
    if (hasSystemEntry()) {
        DesktopEntry hidden;
        hidden.setValue(QStringLiteral("Type"), QStringLiteral("Application"));
        hidden.setValue(QStringLiteral("Name"), KvApp::name());
        hidden.setValue(QStringLiteral("Hidden"), QStringLiteral("true"));
        if (!hidden.write(path)) {
            qCWarning(lcBootwick, "Failed to disable launch at login: %s could not be written",
                      qPrintable(path));
            return false;
        }
        return true;
    }
    const QFileInfo info(path);
    if ((info.exists() || info.isSymLink()) && !QFile::remove(path)) {
        qCWarning(lcBootwick, "Failed to disable launch at login: %s could not be removed", qPrintable(path));
        return false;
    }
    return true;
}

struct Publisher {
    std::optional<bool> current;
    std::vector<std::weak_ptr<std::function<void(bool)>>> subscribers;

    void send(bool value) {
        current = value;
        // A subscriber may subscribe or drop its subscription from inside the call.
        const auto subscribersNow = subscribers;
        for (const auto &weak : subscribersNow)
            if (const auto subscriber = weak.lock())
                (*subscriber)(value);
        std::erase_if(subscribers, [](const auto &weak) { return weak.expired(); });
    }
};

Publisher &publisher() {
    static Publisher value;
    return value;
}

} // namespace

QString autostartFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + autostartFileName();
}

bool isEnabled() {
    const QString path = autostartFilePath();
    const auto entry = DesktopEntry::read(path);
    if (!entry)
        return false;
    return entry->value(QStringLiteral("Type")) == QLatin1String("Application") &&
           entry->booleanValue(QStringLiteral("Hidden")) != true &&
           entry->booleanValue(QStringLiteral("X-GNOME-Autostart-enabled")) != false &&
           startsThisProgram(*entry);
}

void setEnabled(bool enabled) {
    Q_EMIT Observable::shared().willChange();
    apply(enabled);
    Q_EMIT Observable::shared().isEnabledChanged(enabled);
    publisher().send(enabled);
}

void migrateIfNeeded() {
    static const Defaults::Key<bool> hasMigrated(QStringLiteral("Bootwick__hasMigrated"), false);
    if (Defaults::get(hasMigrated))
        return;
    Defaults::set(hasMigrated, true);
}

Observable &Observable::shared() {
    static auto *observable = new Observable();
    return *observable;
}

std::shared_ptr<void> subscribe(std::function<void(bool)> subscriber) {
    auto held = std::make_shared<std::function<void(bool)>>(std::move(subscriber));
    Publisher &shared = publisher();
    if (!shared.current)
        shared.current = isEnabled();
    shared.subscribers.push_back(held);
    (*held)(*shared.current);
    return held;
}

} // namespace kestrova::Bootwick

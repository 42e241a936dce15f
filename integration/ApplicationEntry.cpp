#include "ApplicationEntry.h"

#include "DesktopEntry.h"

#include "foundation/app/KvApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcApplicationEntry, "kestrova.integration")

namespace kestrova::ApplicationEntry {
namespace {

QString dataHome() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

bool isInstalled(const QString &relativePath) {
    return !QStandardPaths::locate(QStandardPaths::GenericDataLocation, relativePath).isEmpty();
}

bool writeFile(const QString &path, const QByteArray &contents) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.commit();
}

QByteArray resource(const QString &name) {
    QFile file(QStringLiteral(":/kestrova/integration/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QString launcherFilePath() {
    return dataHome() + QStringLiteral("/applications/") + KvApp::id() + QStringLiteral(".desktop");
}

QString iconFilePath() {
    return dataHome() + QStringLiteral("/icons/hicolor/scalable/apps/") + KvApp::id() +
           QStringLiteral(".svg");
}

bool installIfNeeded() {
    bool isComplete = true;
    if (!isInstalled(QStringLiteral("applications/") + KvApp::id() + QStringLiteral(".desktop"))) {
        auto entry = DesktopEntry::parse(resource(KvApp::id() + QStringLiteral(".desktop")));
        if (entry) {
            entry->setValue(QStringLiteral("Exec"),
                            DesktopEntry::execFor(QCoreApplication::applicationFilePath()));
            if (!entry->write(launcherFilePath())) {
                qCWarning(lcApplicationEntry, "Could not write the launcher entry %s",
                          qPrintable(launcherFilePath()));
                isComplete = false;
            }
        }
    }
    if (!isInstalled(QStringLiteral("icons/hicolor/scalable/apps/") + KvApp::id() + QStringLiteral(".svg"))) {
        if (!writeFile(iconFilePath(), resource(KvApp::id() + QStringLiteral(".svg")))) {
            qCWarning(lcApplicationEntry, "Could not write the icon %s", qPrintable(iconFilePath()));
            isComplete = false;
        }
    }
    return isComplete;
}

} // namespace kestrova::ApplicationEntry

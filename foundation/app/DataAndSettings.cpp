#include "DataAndSettings.h"

#include "foundation/errors/GeneralError.h"
#include "KvApp.h"
#include "foundation/files/SystemDirectories.h"
#include "platform/defaults/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kestrova::DataAndSettings {
namespace {

QString xdgHome(const char *variable, const QString &fallbackBelowHome) {
    const QString value = qEnvironmentVariable(variable);
    // The XDG base-directory rules say a relative value is to be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + fallbackBelowHome);
}

QStringList xdgHomes() {
    return {xdgHome("XDG_CONFIG_HOME", QStringLiteral(".config")),
            xdgHome("XDG_DATA_HOME", QStringLiteral(".local/share")),
            xdgHome("XDG_CACHE_HOME", QStringLiteral(".cache")),
            xdgHome("XDG_STATE_HOME", QStringLiteral(".local/state"))};
}

// The home folder and every folder above it: removing any of them would take the user's files along.
bool isHomeOrAbove(const QString &canonicalPath) {
    const QString home = QFileInfo(QDir::homePath()).canonicalFilePath();
    return canonicalPath == QStringLiteral("/") || home == canonicalPath ||
           home.startsWith(canonicalPath + QLatin1Char('/'));
}

} // namespace

QStringList ownFolders() {
    QStringList folders;
    for (const QString &home : xdgHomes())
        folders << home + QLatin1Char('/') + SystemDirectories::applicationFolderName();
    folders.removeDuplicates();
    return folders;
}

std::optional<QString> verifiedRemovalTarget(const QString &folder) {
    const auto refuse = [&](const QString &why) -> std::optional<QString> {
        KvApp::reportError(GeneralError(QStringLiteral("Refused to remove “%1”: %2").arg(folder, why)));
        return std::nullopt;
    };
    const QFileInfo info(folder);
    if (!info.exists())
        return std::nullopt; // nothing to remove
    if (info.isSymLink() || !info.isDir())
        return refuse(QStringLiteral("it is not a real folder"));
    if (info.fileName() != SystemDirectories::applicationFolderName())
        return refuse(QStringLiteral("it is not the application's own folder"));
    const QString canonical = info.canonicalFilePath();
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    bool insideXdgHome = false;
    for (const QString &home : xdgHomes()) {
        const QString canonicalHome = QFileInfo(home).canonicalFilePath();
        if (!canonicalHome.isEmpty() && canonicalHome == parent && !isHomeOrAbove(canonicalHome) &&
            canonical == canonicalHome + QLatin1Char('/') + SystemDirectories::applicationFolderName())
            insideXdgHome = true;
    }
    if (!insideXdgHome)
        return refuse(QStringLiteral("it is not directly inside a folder for application data"));
    if (isHomeOrAbove(canonical))
        return refuse(QStringLiteral("it holds the home folder"));
    return canonical;
}

QStringList remove(const std::function<bool(const QString &)> &trash) {
    platform::UserDefaults::standard()->removeAll();
    QStringList trashed;
    for (const QString &folder : ownFolders()) {
        const auto target = verifiedRemovalTarget(folder);
        if (!target || trashed.contains(*target))
            continue;
        trashed << *target;
        if (!trash(*target))
            KvApp::reportError(
                GeneralError(QStringLiteral("“%1” could not be moved to the Trash.").arg(*target)));
    }
    return trashed;
}

} // namespace kestrova::DataAndSettings

namespace kestrova::KvApp {

void deleteDataAndSettings() {
    DataAndSettings::remove();
}

} // namespace kestrova::KvApp

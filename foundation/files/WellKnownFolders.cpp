#include "WellKnownFolders.h"

#include "foundation/errors/GeneralError.h"
#include "foundation/app/KvApp.h"
#include "FileSystemCalls_p.h"
#include "FileUrl.h"
#include "SystemDirectories.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

namespace kestrova::url {
namespace {

QUrl inRealHome(const QString &relativePath) {
    QUrl url = realHomeDirectory();
    for (const QString &component : relativePath.split(QLatin1Char('/')))
        url = appendingPathComponent(url, component, /*isDirectory=*/true);
    return url;
}

QUrl applicationFolder(SystemDirectory base) {
    const QUrl url = appendingPathComponent(SystemDirectories::url(base),
                                            SystemDirectories::applicationFolderName(), /*isDirectory=*/true);
    const QString path = QFile::decodeName(localPath(url));
    if (!QDir().mkpath(path))
        KvApp::reportError(GeneralError(QStringLiteral("Could not create the folder ") + path));
    return url;
}

} // namespace

QByteArray lookUpHomeDirectoryPath() {
    if (const auto entry = fileSystemCalls().userHomeDirectory(::getuid()); entry && !entry->isEmpty())
        return *entry;
    const QByteArray home = qgetenv("HOME");
    if (!home.isEmpty())
        return home;
    KvApp::reportError(
        GeneralError(QStringLiteral("No home folder in the user database or in HOME; using /")));
    return QByteArrayLiteral("/");
}

QUrl realHomeDirectory() {
    static const QUrl url = fromLocalPath(lookUpHomeDirectoryPath(), /*isDirectory=*/true);
    return url;
}

QUrl rootDirectory() {
    static const QUrl url = fromLocalPath("/", /*isDirectory=*/true);
    return url;
}

QUrl applicationSupportDirectory() {
    static const QUrl url = applicationFolder(SystemDirectory::applicationSupport);
    return url;
}

QUrl cachesDirectory() {
    static const QUrl url = applicationFolder(SystemDirectory::caches);
    return url;
}

QUrl desktopDirectory() {
    static const QUrl url = SystemDirectories::url(SystemDirectory::desktop);
    return url;
}

QUrl downloadsDirectory() {
    static const QUrl url = SystemDirectories::url(SystemDirectory::downloads);
    return url;
}

QUrl documentsDirectory() {
    static const QUrl url = inRealHome(QStringLiteral("Documents"));
    return url;
}

QUrl picturesDirectory() {
    static const QUrl url = SystemDirectories::url(SystemDirectory::pictures);
    return url;
}

QUrl moviesDirectory() {
    static const QUrl url = SystemDirectories::url(SystemDirectory::movies);
    return url;
}

QUrl musicDirectory() {
    static const QUrl url = SystemDirectories::url(SystemDirectory::music);
    return url;
}

QUrl sharedPublicDirectory() {
    static const QUrl url = SystemDirectories::url(SystemDirectory::sharedPublic);
    return url;
}

QUrl applicationsDirectory() {
    static const QUrl url = [] {
        const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
        for (const QString &folder :
             QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
            if (folder != userFolder)
                return fromLocalPath(QFile::encodeName(folder), /*isDirectory=*/true);
        }
        return fromLocalPath("/Applications", /*isDirectory=*/true);
    }();
    return url;
}

QUrl userApplicationsDirectory() {
    static const QUrl url = inRealHome(QStringLiteral("Applications"));
    return url;
}

QUrl systemApplicationsDirectory() {
    static const QUrl url = fromLocalPath("/System/Applications", /*isDirectory=*/true);
    return url;
}

QString abbreviatingWithTildeInPath(const QString &path, const QString &homePath) {
    QString home = homePath;
    while (home.size() > 1 && home.endsWith(QLatin1Char('/')))
        home.chop(1);
    if (home.isEmpty())
        return path;
    if (path == home)
        return QStringLiteral("~");
    if (home == QLatin1String("/"))
        return path.startsWith(home) ? QLatin1Char('~') + path : path;
    // A plain prefix test would turn "/home/bobby" into "~by" for the home "/home/bob".
    if (path.startsWith(home) && path.at(home.size()) == QLatin1Char('/'))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

QString abbreviatingWithTildeInPath(const QString &path) {
    return abbreviatingWithTildeInPath(path, QFile::decodeName(localPath(realHomeDirectory())));
}

} // namespace kestrova::url

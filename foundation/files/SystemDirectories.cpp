#include "SystemDirectories.h"

#include "foundation/errors/GeneralError.h"
#include "foundation/app/KvApp.h"
#include "FileUrl.h"
#include "TemporaryDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

#include <sys/stat.h>

#include <cerrno>

namespace kestrova {
namespace {

QStandardPaths::StandardLocation locationOf(SystemDirectory directory) {
    switch (directory) {
    case SystemDirectory::desktop:
        return QStandardPaths::DesktopLocation;
    case SystemDirectory::downloads:
        return QStandardPaths::DownloadLocation;
    case SystemDirectory::documents:
        return QStandardPaths::DocumentsLocation;
    case SystemDirectory::pictures:
        return QStandardPaths::PicturesLocation;
    case SystemDirectory::movies:
        return QStandardPaths::MoviesLocation;
    case SystemDirectory::music:
        return QStandardPaths::MusicLocation;
    case SystemDirectory::sharedPublic:
        return QStandardPaths::PublicShareLocation;
    case SystemDirectory::applicationSupport:
        return QStandardPaths::GenericDataLocation;
    case SystemDirectory::caches:
        return QStandardPaths::GenericCacheLocation;
    }
    return QStandardPaths::TempLocation;
}

std::optional<dev_t> deviceOf(const QByteArray &path) {
    struct stat status = {};
    if (path.isEmpty() || ::stat(path.constData(), &status) != 0)
        return std::nullopt;
    return status.st_dev;
}

} // namespace

QString SystemDirectories::printedName(SystemDirectory directory) {
    switch (directory) {
    case SystemDirectory::desktop:
        return QStringLiteral("desktopDirectory");
    case SystemDirectory::downloads:
        return QStringLiteral("downloadsDirectory");
    case SystemDirectory::documents:
        return QStringLiteral("documentDirectory");
    case SystemDirectory::pictures:
        return QStringLiteral("picturesDirectory");
    case SystemDirectory::movies:
        return QStringLiteral("moviesDirectory");
    case SystemDirectory::music:
        return QStringLiteral("musicDirectory");
    case SystemDirectory::sharedPublic:
        return QStringLiteral("sharedPublicDirectory");
    case SystemDirectory::applicationSupport:
        return QStringLiteral("applicationSupportDirectory");
    case SystemDirectory::caches:
        return QStringLiteral("cachesDirectory");
    }
    return QStringLiteral("unknown");
}

QUrl SystemDirectories::resolve(SystemDirectory directory, const QString &lookedUpPath) {
    QString path = lookedUpPath;
    if (path.isEmpty()) {
        KvApp::reportError(
            GeneralError(QStringLiteral("Could not get system directory: ") + printedName(directory)));
        path = QDir::tempPath();
    }
    // A folder that does not exist yet has no canonical path; it is answered as looked up.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return url::fromLocalPath(QFile::encodeName(canonical.isEmpty() ? path : canonical),
                              /*isDirectory=*/true);
}

QUrl SystemDirectories::url(SystemDirectory directory) {
    return resolve(directory, QStandardPaths::writableLocation(locationOf(directory)));
}

QUrl SystemDirectories::itemReplacementDirectory(const std::optional<QUrl> &item) {
    const QUrl target =
        item.value_or(url::fromLocalPath(QFile::encodeName(QCoreApplication::applicationDirPath()), true));
    QByteArray targetPath = url::localPath(target);
    std::optional<dev_t> device = deviceOf(targetPath);
    QByteArray parent = targetPath.left(qMax(qsizetype(1), targetPath.lastIndexOf('/')));
    if (!device)
        device = deviceOf(parent);

    if (device) {
        // The temporary folder when it shares the item's file system (a rename from there is atomic),
        // otherwise a hidden folder beside the item.
        const QByteArray temporary = QFile::encodeName(QDir::tempPath());
        const bool sameAsTemporary = deviceOf(temporary) == device;
        const QByteArray base = sameAsTemporary ? temporary : parent;
        const QByteArray name = (sameAsTemporary ? QByteArray() : QByteArrayLiteral(".")) +
                                QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1();
        const QByteArray created = base + (base.endsWith('/') ? "" : "/") + name;
        if (::mkdir(created.constData(), 0700) == 0)
            return url::fromLocalPath(created, /*isDirectory=*/true);
        KvApp::reportError(GeneralError(
            QStringLiteral("Could not create an item replacement directory in %1: %2; url() = %3")
                .arg(QFile::decodeName(base), QString::fromLocal8Bit(strerror(errno)), target.toString())));
    } else {
        KvApp::reportError(GeneralError(
            QStringLiteral("Could not find the file system of %1; url() = %1").arg(target.toString())));
    }
    try {
        return url::createUniqueTemporaryDirectory();
    } catch (const Error &error) {
        // Nothing is left to try; the shared temporary folder itself is still a place to write to.
        KvApp::reportError(GeneralError(QStringLiteral("Could not create a temporary directory: ") +
                                        error.localizedDescription()));
        return url::fromLocalPath(QFile::encodeName(QDir::tempPath()), /*isDirectory=*/true);
    }
}

} // namespace kestrova

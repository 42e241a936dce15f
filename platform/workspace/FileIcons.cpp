#include "FileIcons.h"

#include "IconTheme.h"

#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QStandardPaths>

#include <memory>
#include <mutex>

#include <sys/stat.h>

namespace kestrova::platform {
namespace {

const QString kFallbackTheme = QStringLiteral("Adwaita");
const QString kGenericDocumentIcon = QStringLiteral("text-x-generic");
const QString kFolderMimeType = QStringLiteral("inode/directory");

QHash<QString, QIcon> &iconCache() {
    static QHash<QString, QIcon> icons;
    return icons;
}

// The theme as it stands, read again (and the icons drawn again) when the desktop's theme changes. Qt's own
// look-up tests for each file of each name in every folder of a theme without a cache, hundreds per name,
// and loads every image plugin at its first image: the first menu with file icons waited on both.
const IconTheme &currentTheme() {
    static std::unique_ptr<IconTheme> theme;
    static QString themeName;
    static QStringList searchPaths;
    if (!theme || themeName != QIcon::themeName() || searchPaths != QIcon::themeSearchPaths()) {
        themeName = QIcon::themeName();
        searchPaths = QIcon::themeSearchPaths();
        theme = std::make_unique<IconTheme>(themeName, searchPaths, QIcon::fallbackThemeName());
        iconCache().clear();
    }
    return *theme;
}

// The inode type of a special file, or nothing for regular files, folders and missing paths.
QString specialFileMimeType(const QString &path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    if (S_ISFIFO(status.st_mode))
        return QStringLiteral("inode/fifo");
    if (S_ISSOCK(status.st_mode))
        return QStringLiteral("inode/socket");
    if (S_ISCHR(status.st_mode))
        return QStringLiteral("inode/chardevice");
    if (S_ISBLK(status.st_mode))
        return QStringLiteral("inode/blockdevice");
    if (S_ISDIR(status.st_mode))
        return kFolderMimeType;
    return {};
}

} // namespace

void FileIcons::installFallbackTheme() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        QStringList searchPaths = QIcon::themeSearchPaths();
        QStringList systemFolders = QStandardPaths::locateAll(
            QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory);
        systemFolders.append(QStringLiteral("/usr/share/icons"));
        for (const QString &folder : systemFolders) {
            if (!searchPaths.contains(folder))
                searchPaths.append(folder);
        }
        QIcon::setThemeSearchPaths(searchPaths);
        QIcon::setFallbackThemeName(kFallbackTheme);
        // Without a desktop (the offscreen and minimal platforms) no theme is chosen at all.
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
            QIcon::setThemeName(kFallbackTheme);
    });
}

QString FileIcons::themeIconName(const QMimeType &mimeType) {
    installFallbackTheme();
    QStringList candidates{mimeType.iconName(), mimeType.genericIconName()};
    if (mimeType.name() == kFolderMimeType)
        candidates.prepend(QStringLiteral("folder"));
    const QMimeDatabase database;
    for (const QString &ancestor : mimeType.allAncestors()) {
        const QMimeType parent = database.mimeTypeForName(ancestor);
        candidates << parent.iconName() << parent.genericIconName();
    }
    const IconTheme &theme = currentTheme();
    for (const QString &candidate : candidates) {
        if (const QString found = theme.resolvedName(candidate); !found.isEmpty())
            return found;
    }
    return kGenericDocumentIcon;
}

QIcon FileIcons::iconForMimeType(const QMimeType &mimeType) {
    installFallbackTheme();
    const IconTheme &theme = currentTheme();
    QHash<QString, QIcon> &cache = iconCache();
    const QString key = mimeType.isValid() ? mimeType.name() : QString();
    const auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    const QIcon icon = theme.icon(mimeType.isValid() ? themeIconName(mimeType) : kGenericDocumentIcon);
    cache.insert(key, icon);
    return icon;
}

QIcon FileIcons::iconForMimeType(const QString &mimeTypeName) {
    return iconForMimeType(QMimeDatabase().mimeTypeForName(mimeTypeName));
}

QIcon FileIcons::folderIcon() {
    return iconForMimeType(kFolderMimeType);
}

QIcon FileIcons::iconForPath(const QString &path) {
    const QString special = specialFileMimeType(path);
    if (!special.isEmpty())
        return iconForMimeType(special);
    return iconForMimeType(QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension));
}

} // namespace kestrova::platform

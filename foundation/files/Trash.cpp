// The Trash test by the freedesktop Trash layout, on Linux.
#include "Trash.h"

#include "FileUrl.h"

#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace kestrova::url {
namespace {

bool statFollowing(const QByteArray &path, struct stat &result) {
    return !path.isEmpty() && ::stat(path.constData(), &result) == 0;
}

QByteArray parentOf(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// The item's path with every folder above it resolved, the item itself left as it is (a link in the Trash
// is in the Trash, wherever it points).
std::optional<QByteArray> realItemPath(const QByteArray &path) {
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const bool resolveWhole = path == "/" || name == "." || name == "..";
    char buffer[PATH_MAX];
    if (!::realpath((resolveWhole ? path : parentOf(path)).constData(), buffer))
        return std::nullopt;
    const QByteArray resolved(buffer);
    if (resolveWhole)
        return resolved;
    return (resolved == "/" ? QByteArray() : resolved) + '/' + name;
}

} // namespace

ItemRelationship relationship(const QUrl &directory, const QUrl &item) {
    struct stat folder = {};
    if (!statFollowing(localPath(directory), folder) || !S_ISDIR(folder.st_mode))
        return ItemRelationship::other;
    const auto itemPath = realItemPath(localPath(item));
    if (!itemPath)
        return ItemRelationship::other;

    struct stat itemStatus = {};
    if (::lstat(itemPath->constData(), &itemStatus) == 0 && itemStatus.st_dev == folder.st_dev &&
        itemStatus.st_ino == folder.st_ino)
        return ItemRelationship::same;
    for (QByteArray ancestor = *itemPath; ancestor != "/";) {
        ancestor = parentOf(ancestor);
        struct stat status = {};
        if (!statFollowing(ancestor, status))
            return ItemRelationship::other;
        if (status.st_dev == folder.st_dev && status.st_ino == folder.st_ino)
            return ItemRelationship::contains;
    }
    return ItemRelationship::other;
}

std::optional<std::vector<QUrl>> trashDirectories(const QUrl &item) {
    const auto itemPath = realItemPath(localPath(item));
    if (!itemPath)
        return std::nullopt;
    struct stat status = {};
    QByteArray top = parentOf(*itemPath);
    if (!statFollowing(top, status))
        return std::nullopt;

    std::vector<QUrl> folders;
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty())
        folders.push_back(fromLocalPath(QFile::encodeName(dataHome) + "/Trash", /*isDirectory=*/true));

    // The volume's top folder: the highest ancestor still on the item's device.
    const dev_t device = status.st_dev;
    while (top != "/") {
        const QByteArray parent = parentOf(top);
        struct stat parentStatus = {};
        if (!statFollowing(parent, parentStatus) || parentStatus.st_dev != device)
            break;
        top = parent;
    }
    const QByteArray base = top == "/" ? QByteArray() : top;
    const QByteArray uid = QByteArray::number(::getuid());
    struct stat shared = {};
    const QByteArray sharedTrash = base + "/.Trash";
    if (::lstat(sharedTrash.constData(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX))
        folders.push_back(fromLocalPath(sharedTrash + '/' + uid, /*isDirectory=*/true));
    folders.push_back(fromLocalPath(base + "/.Trash-" + uid, /*isDirectory=*/true));
    return folders;
}

bool isInTrash(const QUrl &url) {
    const auto folders = trashDirectories(url);
    if (!folders)
        return false;
    for (const QUrl &folder : *folders) {
        if (relationship(folder, url) == ItemRelationship::contains)
            return true;
    }
    return localPath(url).contains("/File Provider Storage/photospicker/.Trash/");
}

} // namespace kestrova::url

#include "FileAccess.h"

#include "foundation/files/FileUrl.h"
#include "foundation/text/VisibleBidiControls.h"
#include "foundation/app/KvApp.h"
#include "foundation/files/UserDatabase.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace kestrova {
namespace {

constexpr unsigned kStatusMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID;

bool statusOf(const QByteArray &path, struct statx &status) {
    return statx(AT_FDCWD, path.constData(), AT_NO_AUTOMOUNT, kStatusMask, &status) == 0;
}

QString missingLetters(int present, int needed) {
    QString letters;
    if ((needed & 4) && !(present & 4))
        letters += QLatin1Char('r');
    if ((needed & 1) && !(present & 1))
        letters += QLatin1Char('x');
    return letters;
}

AccessBlocker blockerFor(const QByteArray &path, const struct statx &status, const FileAccess &access,
                         bool isItself, int needed) {
    AccessBlocker blocker;
    blocker.path = path;
    blocker.isItself = isItself;
    blocker.isFolder = S_ISDIR(status.stx_mode);
    blocker.owner = status.stx_uid;
    blocker.group = status.stx_gid;
    blocker.mode = status.stx_mode;
    blocker.permissionClass = access.permissionClass(status.stx_uid, status.stx_gid);
    if (!access.isSuperuser())
        blocker.missingPermissions =
            missingLetters(access.permissions(status.stx_uid, status.stx_gid, status.stx_mode), needed);
    return blocker;
}

QString displayName(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray name = slash < 0 || path == "/" ? path : path.mid(slash + 1);
    return withVisibleBidiControls(QString::fromUtf8(name));
}

// Quoted for a POSIX shell, so that the command can be typed (or pasted) as shown.
QString shellQuoted(const QByteArray &path) {
    return QLatin1Char('\'') + QString::fromUtf8(path).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

QString classPhrase(FileAccess::PermissionClass permissionClass, const QString &user) {
    switch (permissionClass) {
    case FileAccess::PermissionClass::owner:
        return user + QStringLiteral(" is its owner, so the owner's permissions apply");
    case FileAccess::PermissionClass::group:
        return user + QStringLiteral(" is in its group, so the group's permissions apply");
    case FileAccess::PermissionClass::others:
        break;
    }
    return user +
           QStringLiteral(" is neither its owner nor in its group, so the permissions for others apply");
}

QChar classLetter(FileAccess::PermissionClass permissionClass) {
    switch (permissionClass) {
    case FileAccess::PermissionClass::owner:
        return QLatin1Char('u');
    case FileAccess::PermissionClass::group:
        return QLatin1Char('g');
    case FileAccess::PermissionClass::others:
        break;
    }
    return QLatin1Char('o');
}

} // namespace

FileAccess::FileAccess()
    : m_uid(geteuid())
    , m_gid(getegid()) {
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        m_groups.resize(std::size_t(count));
        m_groups.resize(std::size_t(std::max(0, getgroups(count, m_groups.data()))));
    }
}

FileAccess::FileAccess(uid_t uid, gid_t gid, std::vector<gid_t> supplementaryGroups)
    : m_uid(uid)
    , m_gid(gid)
    , m_groups(std::move(supplementaryGroups)) {}

FileAccess::PermissionClass FileAccess::permissionClass(uid_t owner, gid_t group) const {
    if (owner == m_uid)
        return PermissionClass::owner;
    if (group == m_gid || std::find(m_groups.begin(), m_groups.end(), group) != m_groups.end())
        return PermissionClass::group;
    return PermissionClass::others;
}

int FileAccess::permissions(uid_t owner, gid_t group, mode_t mode) const {
    if (isSuperuser())
        return 7;
    switch (permissionClass(owner, group)) {
    case PermissionClass::owner:
        return int(mode >> 6) & 7;
    case PermissionClass::group:
        return int(mode >> 3) & 7;
    case PermissionClass::others:
        break;
    }
    return int(mode) & 7;
}

bool FileAccess::canRead(const struct statx &status) const {
    return permissions(status.stx_uid, status.stx_gid, status.stx_mode) & 4;
}

std::optional<AccessBlocker> findAccessBlocker(const QByteArray &path, const FileAccess &access) {
    QByteArray target = path;
    if (char *resolved = realpath(path.constData(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    if (!target.startsWith('/'))
        return std::nullopt;
    // Every folder on the way must let this process through ("x").
    struct statx status {};
    QByteArray folder = "/";
    for (qsizetype start = 1;;) {
        if (!statusOf(folder, status))
            return std::nullopt;
        if (!(access.permissions(status.stx_uid, status.stx_gid, status.stx_mode) & 1))
            return blockerFor(folder, status, access, /*isItself=*/false, /*needed=*/1);
        const qsizetype slash = target.indexOf('/', start);
        if (slash < 0)
            break;
        folder = target.left(slash);
        start = slash + 1;
    }
    if (!statusOf(target, status))
        return std::nullopt;
    return blockerFor(target, status, access, /*isItself=*/true, S_ISDIR(status.stx_mode) ? 5 : 4);
}

QString permissionText(mode_t mode) {
    QString text;
    for (const int shift : {6, 3, 0}) {
        const int bits = int(mode >> shift) & 7;
        text += QLatin1Char(bits & 4 ? 'r' : '-');
        text += QLatin1Char(bits & 2 ? 'w' : '-');
        text += QLatin1Char(bits & 1 ? 'x' : '-');
    }
    return text;
}

QString userName(uid_t uid) {
    const auto name = userNameFromDatabase(uid);
    return name ? QString::fromLocal8Bit(*name) : QString::number(uid);
}

QString groupName(gid_t gid) {
    const auto name = groupNameFromDatabase(gid);
    return name ? QString::fromLocal8Bit(*name) : QString::number(gid);
}

bool isFolderItem(const QUrl &url) {
    struct statx status {};
    const QByteArray path = url::localPath(url);
    if (!path.isEmpty() && statusOf(path, status))
        return S_ISDIR(status.stx_mode);
    return url.path().endsWith(QLatin1Char('/'));
}

QString missingAccessTitle(const QUrl &url) {
    return isFolderItem(url) ? QStringLiteral("Missing Access to This Folder")
                             : QStringLiteral("Missing Access to This File");
}

AccessHelp accessHelp(const QByteArray &path, const FileAccess &access) {
    AccessHelp help;
    const QString application = KvApp::name();
    const QString user = userName(access.uid());
    const QString item =
        isFolderItem(url::fromLocalPath(path)) ? QStringLiteral("this folder") : QStringLiteral("this file");
    struct statx own {};
    if (statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &own) == 0 &&
        S_ISLNK(own.stx_mode)) {
        if (char *resolved = realpath(path.constData(), nullptr)) {
            help.explanation << QStringLiteral("“%1” is a symbolic link to “%2”.")
                                    .arg(displayName(path), QString::fromUtf8(resolved));
            std::free(resolved);
        }
    }
    const auto blocker = findAccessBlocker(path, access);
    if (!blocker) {
        help.explanation << QStringLiteral("%1 cannot look at %2: it may have been moved or deleted.")
                                .arg(application, item);
        return help;
    }
    if (blocker->isItself)
        help.explanation << QStringLiteral("%1 runs as the user %2 and may not %3 %4.")
                                .arg(application, user,
                                     blocker->isFolder ? QStringLiteral("open") : QStringLiteral("read"),
                                     item);
    else
        help.explanation << QStringLiteral(
                                "%1 runs as the user %2 and may not open the folder “%3”, which holds %4.")
                                .arg(application, user, displayName(blocker->path), item);
    help.explanation << QStringLiteral("Owned by %1 (group %2), permissions %3.")
                            .arg(userName(blocker->owner), groupName(blocker->group),
                                 permissionText(blocker->mode));
    help.propertiesUrl = url::fromLocalPath(blocker->path, blocker->isFolder);
    if (blocker->missingPermissions.isEmpty()) {
        help.explanation << QStringLiteral("Its permissions allow %1 to read it, yet the system refused: an "
                                           "access control list or a security policy forbids it.")
                                .arg(user);
        return help;
    }
    const bool ownsIt = blocker->owner == access.uid();
    help.explanation << QStringLiteral("%1, and they lack “%2”. %3 can add %4 in its Properties in the file "
                                       "manager, or in a terminal:")
                            .arg(classPhrase(blocker->permissionClass, user), blocker->missingPermissions,
                                 ownsIt ? QStringLiteral("You")
                                        : QStringLiteral("Its owner or an administrator"),
                                 blocker->missingPermissions.size() == 1 ? QStringLiteral("it")
                                                                         : QStringLiteral("them"));
    help.command = (ownsIt ? QString() : QStringLiteral("sudo ")) + QStringLiteral("chmod ") +
                   classLetter(blocker->permissionClass) + QLatin1Char('+') + blocker->missingPermissions +
                   QLatin1Char(' ') + shellQuoted(blocker->path);
    return help;
}

} // namespace kestrova

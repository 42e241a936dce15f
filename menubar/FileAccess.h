#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

namespace kestrova {

// Who a process is to the permission bits of files: its effective user and groups. Reading needs "r" on
// a file, "r" and "x" on a folder, and "x" on every folder on the way to it; the superuser needs none.
// Access control lists and security modules are not consulted: opening an item still reports what the
// system decides. Any thread.
class FileAccess {
public:
    enum class PermissionClass { owner, group, others };

    // The running process.
    FileAccess();
    FileAccess(uid_t uid, gid_t gid, std::vector<gid_t> supplementaryGroups);

    uid_t uid() const { return m_uid; }
    bool isSuperuser() const { return m_uid == 0; }
    // Whose permission bits apply to this process for an item of `owner` and `group`.
    PermissionClass permissionClass(uid_t owner, gid_t group) const;
    // The "r", "w" and "x" bits (4, 2, 1) this process has on an item.
    int permissions(uid_t owner, gid_t group, mode_t mode) const;
    bool canRead(const struct statx &status) const;

private:
    uid_t m_uid;
    gid_t m_gid;
    std::vector<gid_t> m_groups;
};

// What keeps a process from reading an item, as the permission bits tell it.
struct AccessBlocker {
    // The item whose permissions refuse: the item itself or a folder on the way to it.
    QByteArray path;
    bool isItself = true;
    bool isFolder = false;
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    FileAccess::PermissionClass permissionClass = FileAccess::PermissionClass::others;
    // The permission letters that are missing ("r", "x" or "rx"); empty when the bits allow reading and
    // something else (an access control list, a security module) refuses.
    QString missingPermissions;
};

// Finds what blocks reading the item at `path` (a symbolic link is followed). Nothing when the item
// cannot even be found.
std::optional<AccessBlocker> findAccessBlocker(const QByteArray &path, const FileAccess &access);

// "rwxr-x---" for the permission bits of `mode`.
QString permissionText(mode_t mode);
// The name of a user or a group in the system's database, else its number.
QString userName(uid_t uid);
QString groupName(gid_t gid);

// Whether the item at `url` is a folder (a symbolic link is followed); when it cannot be looked at, whether
// the URL names a directory (ends with "/").
bool isFolderItem(const QUrl &url);
// "Missing Access to This Folder" or "Missing Access to This File".
QString missingAccessTitle(const QUrl &url);

// The help for an item this process may not read: what blocks it and how to change that.
struct AccessHelp {
    // Paragraphs, each shown as a row of its own.
    QStringList explanation;
    // A terminal command that adds the missing permissions; empty when no permission bit is missing.
    QString command;
    // The item whose permissions to change, for the file manager's Properties window.
    std::optional<QUrl> propertiesUrl;
};
AccessHelp accessHelp(const QByteArray &path, const FileAccess &access);

} // namespace kestrova

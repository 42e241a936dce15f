// The real system calls behind the file helpers, and the two careful wrappers every reader goes through.
#include "FileSystemCalls_p.h"
#include "UserDatabase.h"

#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

namespace kestrova {
namespace {

int realOpen(const char *path, int flags) {
    return ::open(path, flags);
}

} // namespace

FileSystemCalls &fileSystemCalls() {
    static FileSystemCalls calls{::statx, ::lgetxattr, realOpen, ::read, userHomeFromDatabase};
    return calls;
}

bool statItem(const QByteArray &path, unsigned mask, struct statx &result) {
    if (path.isEmpty())
        return false;
    return fileSystemCalls().statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask,
                                   &result) == 0;
}

int openWithoutTouching(const QByteArray &path, int flags) {
    // Only the owner (or a process allowed to act as any owner) may leave the access time alone; anyone
    // else is refused with EPERM and reads the ordinary way.
    const int fd = fileSystemCalls().openFile(path.constData(), flags | O_NOATIME);
    if (fd >= 0 || errno != EPERM)
        return fd;
    return fileSystemCalls().openFile(path.constData(), flags);
}

int openRegularFileForReading(const QByteArray &path) {
    struct statx status = {};
    if (!statItem(path, STATX_TYPE, status) || !S_ISREG(status.stx_mode))
        return -1;
    // The item can be swapped for a FIFO between the check and the open; O_NONBLOCK keeps that open from
    // hanging, and the second check refuses it.
    const int fd = openWithoutTouching(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat opened = {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool openRegularFileForReading(const QByteArray &path, QFile &file) {
    const int fd = openRegularFileForReading(path);
    if (fd < 0)
        return false;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    return false;
}

} // namespace kestrova

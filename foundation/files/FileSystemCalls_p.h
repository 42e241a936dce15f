#pragma once

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <optional>

namespace kestrova {

// The system calls through which the file helpers reach the disk and the user database. Tests swap single
// entries to produce failures that cannot be made for real (CI runs as root, so a chmod does not stop a
// read).
struct FileSystemCalls {
    int (*statx)(int directoryFd, const char *path, int flags, unsigned mask, struct statx *result);
    ssize_t (*lgetxattr)(const char *path, const char *name, void *value, size_t size);
    int (*openFile)(const char *path, int flags);
    ssize_t (*read)(int fd, void *buffer, size_t size);
    // The home folder of a user from the user database; nothing when the user has no entry.
    std::optional<QByteArray> (*userHomeDirectory)(uid_t uid);
};

// The process-wide table, with the real calls unless a test has replaced some.
FileSystemCalls &fileSystemCalls();

// Replaces the table for as long as it lives; for tests only, and never while other threads use it.
class ScopedFileSystemCalls {
public:
    ScopedFileSystemCalls()
        : m_saved(fileSystemCalls()) {}
    ~ScopedFileSystemCalls() { fileSystemCalls() = m_saved; }
    ScopedFileSystemCalls(const ScopedFileSystemCalls &) = delete;
    ScopedFileSystemCalls &operator=(const ScopedFileSystemCalls &) = delete;

    FileSystemCalls *operator->() { return &fileSystemCalls(); }

private:
    FileSystemCalls m_saved;
};

// Fills `result` for the item itself (a symbolic link is not followed); false when the item cannot be read.
bool statItem(const QByteArray &path, unsigned mask, struct statx &result);

// Opens `path` with `flags` and O_NOATIME, so that reading changes no access time; without O_NOATIME where
// the system refuses it (EPERM: the process does not own the item). -1 with errno set on failure.
int openWithoutTouching(const QByteArray &path, int flags);

// Opens a regular file for reading without ever blocking on a FIFO or a device, and without changing its
// access time where permitted: the type is checked with statx first, the open uses O_NONBLOCK |
// O_NOFOLLOW (and O_NOATIME), and the opened descriptor is checked again.
// -1 when the item is not a regular file or cannot be opened.
int openRegularFileForReading(const QByteArray &path);

// The same, opened into `file` (which then owns the descriptor); false when it is no regular file or cannot
// be opened.
bool openRegularFileForReading(const QByteArray &path, QFile &file);

} // namespace kestrova

#pragma once

#include <QByteArray>

#include <optional>

// Reading the items a folder menu shows without the reading leaving a trace: nothing waits on a FIFO or a
// device, and no access time changes where the system permits it (a process may keep the access time only
// of items it owns, or with the capability to act as any owner). Browsing a folder must not make its items
// look opened, nor reorder a listing sorted by the date they were last opened. Any thread.
namespace kestrova {

// Up to `maximumSize` leading bytes of the regular file at `path` (a symbolic link is not followed);
// nothing when the item is no regular file or cannot be read.
std::optional<QByteArray> readRegularFile(const QByteArray &path, qsizetype maximumSize);

// Opens the directory at `path` for listing (O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC, and O_NOATIME
// where permitted). -1 with errno set when it cannot be opened; ENOTDIR for anything but a directory.
int openDirectoryForListing(const QByteArray &path);

} // namespace kestrova

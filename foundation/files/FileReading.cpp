#include "FileReading.h"

#include "FileSystemCalls_p.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kestrova {

std::optional<QByteArray> readRegularFile(const QByteArray &path, qsizetype maximumSize) {
    const int fd = openRegularFileForReading(path);
    if (fd < 0)
        return std::nullopt;
    // Read to the end rather than by the reported size, which is zero for /proc files and may change.
    QByteArray contents;
    char buffer[4096];
    while (contents.size() < maximumSize) {
        const size_t wanted =
            size_t(std::min<qsizetype>(qsizetype(sizeof buffer), maximumSize - contents.size()));
        const ssize_t count = fileSystemCalls().read(fd, buffer, wanted);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (count == 0)
            break;
        contents.append(buffer, count);
    }
    ::close(fd);
    return contents;
}

int openDirectoryForListing(const QByteArray &path) {
    if (path.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    // O_DIRECTORY and O_NONBLOCK: whatever sits at the path, opening it never waits (a FIFO fails at once).
    return openWithoutTouching(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
}

} // namespace kestrova

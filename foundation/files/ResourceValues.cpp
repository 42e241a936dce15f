// Resource values from statx, lgetxattr and the MIME database, on Linux.
#include "ResourceValues.h"

#include "FileReading.h"
#include "FileSystemCalls_p.h"
#include "FileUrl.h"

#include <QFile>
#include <QMimeDatabase>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <ctime>

namespace kestrova::url {
namespace {

// As many leading bytes as the MIME database's content rules look at.
constexpr qsizetype kSniffLength = 4096;
constexpr size_t kMaximumTagsLength = 64 * 1024;

std::optional<platform::Date> dateFrom(const struct statx_timestamp &timestamp) {
    return platform::Date::fromUnixTime(static_cast<double>(timestamp.tv_sec) +
                                        static_cast<double>(timestamp.tv_nsec) / 1e9);
}

std::optional<struct statx> status(const QUrl &url, unsigned mask) {
    struct statx result = {};
    if (!statItem(localPath(url), mask, result) || (result.stx_mask & mask) != mask)
        return std::nullopt;
    return result;
}

// A time the file system may not record (a birth time): statx then leaves its bit out of the answered mask.
std::optional<platform::Date> timestamp(const QUrl &url, unsigned mask,
                                        struct statx_timestamp statx::*field) {
    const auto result = status(url, mask);
    return result ? dateFrom((*result).*field) : std::nullopt;
}

std::optional<QString> nonRegularType(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("inode/directory");
    if (S_ISLNK(mode))
        return QStringLiteral("inode/symlink");
    if (S_ISFIFO(mode))
        return QStringLiteral("inode/fifo");
    if (S_ISCHR(mode))
        return QStringLiteral("inode/chardevice");
    if (S_ISBLK(mode))
        return QStringLiteral("inode/blockdevice");
    if (S_ISSOCK(mode))
        return QStringLiteral("inode/socket");
    return std::nullopt;
}

void setTimes(const QUrl &url, std::optional<platform::Date> date, int which) {
    const QByteArray path = localPath(url);
    if (!date || path.isEmpty())
        return;
    const double seconds = date->timeIntervalSince1970();
    double whole = 0;
    const double fraction = std::modf(seconds, &whole);
    struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
    times[which].tv_sec = static_cast<time_t>(whole);
    times[which].tv_nsec = static_cast<long>(fraction * 1e9);
    if (times[which].tv_nsec < 0) {
        times[which].tv_sec -= 1;
        times[which].tv_nsec += 1000000000L;
    }
    ::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW);
}

} // namespace

bool boolResourceValue(const QUrl &url, ResourceKey key, bool defaultValue) {
    if (key == ResourceKey::isPackage)
        return localPath(url).isEmpty() ? defaultValue : false;
    if (key == ResourceKey::isHidden) {
        const QByteArray path = localPath(url);
        if (path.isEmpty())
            return defaultValue;
        return path.mid(path.lastIndexOf('/') + 1).startsWith('.');
    }
    const auto result = status(url, STATX_TYPE);
    if (!result)
        return defaultValue;
    const mode_t mode = result->stx_mode;
    switch (key) {
    case ResourceKey::isDirectory:
        return S_ISDIR(mode);
    case ResourceKey::isRegularFile:
        return S_ISREG(mode);
    case ResourceKey::isSymbolicLink:
    case ResourceKey::isAliasFile:
        return S_ISLNK(mode);
    case ResourceKey::isPackage:
    case ResourceKey::isHidden:
        break;
    }
    return defaultValue;
}

bool isAlias(const QUrl &url) {
    return boolResourceValue(url, ResourceKey::isAliasFile, false);
}

bool isFolder(const QUrl &url) {
    return boolResourceValue(url, ResourceKey::isDirectory, false) &&
           !boolResourceValue(url, ResourceKey::isPackage, false);
}

std::optional<QString> contentType(const QUrl &url) {
    const auto result = status(url, STATX_TYPE);
    if (!result)
        return std::nullopt;
    if (auto special = nonRegularType(result->stx_mode))
        return special;
    const QByteArray path = localPath(url);
    const QString name = QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
    // The file is read here, never by the MIME database, which would open it blocking.
    return QMimeDatabase()
        .mimeTypeForFileNameAndData(name, readRegularFile(path, kSniffLength).value_or(QByteArray()))
        .name();
}

std::optional<platform::Date> creationDate(const QUrl &url) {
    return timestamp(url, STATX_BTIME, &statx::stx_btime);
}

std::optional<platform::Date> contentModificationDate(const QUrl &url) {
    return timestamp(url, STATX_MTIME, &statx::stx_mtime);
}

std::optional<platform::Date> contentAccessDate(const QUrl &url) {
    return timestamp(url, STATX_ATIME, &statx::stx_atime);
}

std::optional<platform::Date> addedToDirectoryDate(const QUrl &url) {
    return timestamp(url, STATX_CTIME, &statx::stx_ctime);
}

void setCreationDate(const QUrl &, std::optional<platform::Date>) {}

void setContentModificationDate(const QUrl &url, std::optional<platform::Date> date) {
    setTimes(url, date, 1);
}

void setContentAccessDate(const QUrl &url, std::optional<platform::Date> date) {
    setTimes(url, date, 0);
}

QStringList tagNames(const QUrl &url) {
    const QByteArray path = localPath(url);
    if (path.isEmpty())
        return {};
    static constexpr char kTagsAttribute[] = "user.xdg.tags";
    const ssize_t size = fileSystemCalls().lgetxattr(path.constData(), kTagsAttribute, nullptr, 0);
    if (size <= 0 || size_t(size) > kMaximumTagsLength)
        return {};
    QByteArray value(size, Qt::Uninitialized);
    const ssize_t read =
        fileSystemCalls().lgetxattr(path.constData(), kTagsAttribute, value.data(), size_t(size));
    if (read <= 0)
        return {};
    value.truncate(read);
    QStringList tags;
    for (const QByteArray &tag : value.split(',')) {
        const QString text = QString::fromUtf8(tag).trimmed();
        if (!text.isEmpty())
            tags << text;
    }
    return tags;
}

} // namespace kestrova::url

#include "FolderContents.h"

#include "ContentTypes_p.h"
#include "FileAccess.h"

#include "foundation/Error.h"
#include "foundation/FileReading.h"
#include "foundation/FileUrl.h"
#include "foundation/ResourceValues.h"
#include "store/SortOrderComparator.h"

#include <QSet>

#include <algorithm>
#include <cstring>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <numeric>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova {

namespace {

constexpr double kSecondsFrom1970To2001 = 978307200.0;
// The file managers' list of names to hide, and how much of it is read: thousands of names, while a huge
// or binary file costs no more than this.
constexpr char kHiddenNamesFile[] = ".hidden";
constexpr qsizetype kHiddenNamesLimit = 256 * 1024;

FolderListingFaults &sharedFaults() {
    static FolderListingFaults faults;
    return faults;
}

double secondsSince2001(const struct statx_timestamp &time) {
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9 - kSecondsFrom1970To2001;
}

bool isSystemName(const QByteArray &name) {
    return name == ".DS_Store" || name == ".localized" || name == ".Trash";
}

QByteArray lastComponent(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.mid(slash + 1);
}

FolderEntry::Type typeOf(mode_t mode) {
    if (S_ISREG(mode))
        return FolderEntry::Type::regularFile;
    if (S_ISDIR(mode))
        return FolderEntry::Type::directory;
    if (S_ISLNK(mode))
        return FolderEntry::Type::symbolicLink;
    return FolderEntry::Type::other;
}

// The names the directory's ".hidden" file lists. A read cut at the limit drops its last, partial line, so
// that no part of a name hides an entry.
QSet<QByteArray> hiddenNames(const QByteArray &prefix, const FolderListingFaults &faults) {
    const QByteArray listPath = prefix + kHiddenNamesFile;
    const auto &isUnreadable = faults.isUnreadable;
    if (isUnreadable && isUnreadable(listPath))
        return {};
    const auto contents = readRegularFile(listPath, kHiddenNamesLimit + 1);
    if (!contents)
        return {};
    QList<QByteArray> lines = contents->left(kHiddenNamesLimit).split('\n');
    if (contents->size() > kHiddenNamesLimit)
        lines.removeLast();
    QSet<QByteArray> names;
    for (QByteArray &line : lines) {
        // Lists written on other systems end their lines with "\r\n".
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            names.insert(line);
    }
    return names;
}

QString contentTypeName(const FolderEntry &entry) {
    switch (entry.type) {
    case FolderEntry::Type::directory:
        return QStringLiteral("inode/directory");
    case FolderEntry::Type::symbolicLink:
        return QStringLiteral("inode/symlink");
    case FolderEntry::Type::other:
        return QStringLiteral("inode/x-special");
    case FolderEntry::Type::regularFile:
        break;
    }
    return contentTypeNameForFileName(entry.resolvedName());
}

int statEntry(const FolderListingFaults &faults, int directoryFd, const QByteArray &relativeOrAbsolute,
              const QByteArray &fullPath, struct statx &status) {
    if (const auto &fault = faults.statEntry) {
        if (const int error = fault(fullPath))
            return error;
    }
    constexpr unsigned kMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_SIZE | STATX_ATIME |
                               STATX_MTIME | STATX_CTIME | STATX_BTIME;
    if (statx(directoryFd, relativeOrAbsolute.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kMask,
              &status) != 0)
        return errno;
    return 0;
}

void sortIndexes(std::vector<std::size_t>::iterator begin, std::vector<std::size_t>::iterator end,
                 const SortOrderComparator &comparator, const std::vector<SortOrderComparator::Key> &keys) {
    std::stable_sort(begin, end, [&](std::size_t lhs, std::size_t rhs) {
        return comparator.lessThan(keys[lhs], keys[rhs]);
    });
}

} // namespace

QString FolderEntry::resolvedName() const {
    return QString::fromUtf8(lastComponent(resolvedPath));
}

QUrl FolderEntry::url() const {
    return url::fromLocalPath(path, isFolder());
}

QUrl FolderEntry::resolvedUrl() const {
    return url::fromLocalPath(resolvedPath, isFolder());
}

void FolderListingFaults::setShared(FolderListingFaults faults) {
    sharedFaults() = std::move(faults);
}

std::vector<FolderEntry> folderContents(const QUrl &directory, const FolderContentsOptions &options) {
    const QByteArray directoryPath = url::localPath(directory);
    if (directoryPath.isEmpty())
        throw posixError(EINVAL, QStringLiteral("Cannot list “%1”").arg(directory.toDisplayString()));
    // A copy: listings run on worker threads while a test may install other faults.
    const FolderListingFaults faults = sharedFaults();
    const QString displayPath = QString::fromUtf8(directoryPath);
    if (faults.openDirectory) {
        if (const int error = faults.openDirectory(directoryPath))
            throw posixError(error, QStringLiteral("Cannot list “%1”").arg(displayPath));
    }
    const int directoryFd = openDirectoryForListing(directoryPath);
    if (directoryFd < 0)
        throw posixError(errno, QStringLiteral("Cannot list “%1”").arg(displayPath));
    DIR *stream = fdopendir(directoryFd);
    if (!stream) {
        const int error = errno;
        close(directoryFd);
        throw posixError(error, QStringLiteral("Cannot list “%1”").arg(displayPath));
    }
    if (faults.didOpenDirectory)
        faults.didOpenDirectory(directoryPath);

    const QByteArray prefix = directoryPath.endsWith('/') ? directoryPath : directoryPath + '/';
    // Readability from the mode bits, so that listing costs no extra call per entry.
    const FileAccess access;
    const bool needsContentType = options.sortOrder == Folder::SortOrder::kind;
    const bool needsTags = options.sortOrder == Folder::SortOrder::tags;
    const QSet<QByteArray> namesToHide =
        options.showHiddenItems ? QSet<QByteArray>() : hiddenNames(prefix, faults);

    std::vector<FolderEntry> entries;
    int readError = 0;
    for (;;) {
        // Only a null return with errno set is a failure; per-entry calls below leave errno behind.
        errno = 0;
        const dirent *item = readdir(stream);
        if (!item) {
            readError = errno;
            break;
        }
        const QByteArray listedName(item->d_name);
        if (listedName == "." || listedName == "..")
            continue;
        if (!options.showHiddenItems && (listedName.startsWith('.') || namesToHide.contains(listedName)))
            continue;
        FolderEntry entry;
        entry.path = prefix + listedName;
        entry.resolvedPath = entry.path;
        struct statx status {};
        int error = statEntry(faults, directoryFd, listedName, entry.path, status);
        if (error == ENOENT)
            continue; // gone since the directory was read
        if (error == 0 && S_ISLNK(status.stx_mode)) {
            entry.isSymbolicLink = true;
            // A link is described by its target; one that cannot be followed (dangling, a loop) stays itself.
            if (char *resolved = realpath(entry.path.constData(), nullptr)) {
                const QByteArray target(resolved);
                std::free(resolved);
                struct statx targetStatus {};
                if (statEntry(faults, AT_FDCWD, target, target, targetStatus) == 0) {
                    entry.resolvedPath = target;
                    status = targetStatus;
                }
            }
        }
        if (isSystemName(lastComponent(entry.resolvedPath)))
            continue;
        entry.name = QString::fromUtf8(listedName);
        if (error != 0) {
            // Known to exist but not examinable: listed, shown as unreadable.
            entry.isReadable = false;
        } else {
            entry.type = typeOf(status.stx_mode);
            entry.isReadable = access.canRead(status);
            entry.size = std::int64_t(status.stx_size);
            entry.dateModified = secondsSince2001(status.stx_mtime);
            entry.dateAccessed = secondsSince2001(status.stx_atime);
            entry.dateAdded = secondsSince2001(status.stx_ctime);
            if (status.stx_mask & STATX_BTIME)
                entry.dateCreated = secondsSince2001(status.stx_btime);
        }
        if (faults.isUnreadable && faults.isUnreadable(entry.resolvedPath))
            entry.isReadable = false;
        if (needsContentType)
            entry.contentType = contentTypeName(entry);
        if (needsTags)
            entry.tags = url::tagNames(entry.resolvedUrl());
        entries.push_back(std::move(entry));
    }
    closedir(stream);
    if (readError != 0)
        throw posixError(readError, QStringLiteral("Cannot list “%1”").arg(displayPath));
    return entries;
}

void sortFolderEntries(std::vector<FolderEntry> &entries, Folder::SortOrder order, bool keepFoldersOnTop) {
    const SortOrderComparator comparator(order);
    // Each key is made once; the sort then compares only what was read while listing.
    std::vector<SortOrderComparator::Key> keys;
    keys.reserve(entries.size());
    for (const FolderEntry &entry : entries) {
        SortOrderComparator::Key key;
        switch (order) {
        case Folder::SortOrder::name:
            key.collationKey = comparator.collationKey(entry.name);
            break;
        case Folder::SortOrder::kind:
            if (entry.contentType)
                key.collationKey = comparator.collationKey(*entry.contentType);
            break;
        case Folder::SortOrder::tags:
            key.collationKey = comparator.collationKey(entry.tags.join(QLatin1Char(',')));
            break;
        case Folder::SortOrder::dateAdded:
            key.date = entry.dateAdded;
            break;
        case Folder::SortOrder::dateModified:
            key.date = entry.dateModified;
            break;
        case Folder::SortOrder::dateCreated:
            key.date = entry.dateCreated;
            break;
        case Folder::SortOrder::dateAccessed:
            key.date = entry.dateAccessed;
            break;
        }
        keys.push_back(std::move(key));
    }
    // Folders, then aliases, then the rest, each group sorted on its own: the comparisons then look at the
    // keys alone, not at the entries spread over memory.
    std::vector<std::size_t> indexes(entries.size());
    std::iota(indexes.begin(), indexes.end(), std::size_t{0});
    auto rest = indexes.begin();
    if (keepFoldersOnTop) {
        rest = std::stable_partition(indexes.begin(), indexes.end(),
                                     [&](std::size_t index) { return entries[index].isFolder(); });
        const auto foldersEnd = rest;
        rest = std::stable_partition(rest, indexes.end(),
                                     [&](std::size_t index) { return entries[index].isAlias(); });
        sortIndexes(indexes.begin(), foldersEnd, comparator, keys);
        sortIndexes(foldersEnd, rest, comparator, keys);
    }
    sortIndexes(rest, indexes.end(), comparator, keys);
    std::vector<FolderEntry> sorted;
    sorted.reserve(entries.size());
    for (const std::size_t index : indexes)
        sorted.push_back(std::move(entries[index]));
    entries = std::move(sorted);
}

} // namespace kestrova

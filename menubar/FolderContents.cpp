#include "FolderContents.h"

#include "ContentTypes_p.h"
#include "FileAccess.h"
#include "platform/FreedMemory.h"

#include "foundation/errors/Error.h"
#include "foundation/files/FileReading.h"
#include "foundation/files/FileUrl.h"
#include "foundation/files/ResourceValues.h"
#include "store/SortOrderComparator.h"

#include <QCoreApplication>
#include <QSet>
#include <QThreadPool>

#include <algorithm>
#include <cstring>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <list>
#include <memory>
#include <mutex>
#include <numeric>
#include <system_error>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
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

bool isSystemName(QByteArrayView name) {
    return name == ".DS_Store" || name == ".localized" || name == ".Trash";
}

QByteArrayView lastComponent(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArrayView(path) : QByteArrayView(path).sliced(slash + 1);
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

int statEntry(const FolderListingFaults &faults, int directoryFd, const char *relativeOrAbsolute,
              const QByteArray &fullPath, struct statx &status) {
    if (const auto &fault = faults.statEntry) {
        if (const int error = fault(fullPath))
            return error;
    }
    constexpr unsigned kMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_SIZE | STATX_ATIME |
                               STATX_MTIME | STATX_CTIME | STATX_BTIME;
    if (statx(directoryFd, relativeOrAbsolute, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kMask, &status) != 0)
        return errno;
    return 0;
}

// Large folders are examined on a few threads at once: each entry's statx is independent of the others,
// and the kernel's lookups scale over cores. Small ones stay on the calling thread, where a thread would
// cost more than it saves. The helper threads allocate next to nothing (a collation of a very long name
// may): memory a thread allocates stays in a heap of its own, and the part of such a heap that is freed
// last is not given back to the system, so texts and arrays are made on the listing's own thread.
constexpr std::size_t kEntriesPerThread = 1024;
constexpr std::size_t kMaximumThreads = 4;

// The size of each part inChunks gives `count` entries: all of them when they stay on one thread.
std::size_t chunkSize(std::size_t count, bool mayShareOut) {
    std::size_t parts = mayShareOut ? std::min(kMaximumThreads, count / kEntriesPerThread) : 1;
    parts = std::max<std::size_t>(1, std::min<std::size_t>(parts, std::thread::hardware_concurrency()));
    return std::max<std::size_t>(1, (count + parts - 1) / parts);
}

// Runs `work(begin, end)` over [0, count) in contiguous parts, one per thread, the calling thread taking
// the first; one part when `mayShareOut` is false. `work` should allocate nothing, and must not throw.
// Returns when every part is done. A thread that cannot be started leaves its part to the calling thread.
template <typename Work> void inChunks(std::size_t count, bool mayShareOut, const Work &work) {
    const std::size_t partSize = chunkSize(count, mayShareOut);
    const std::size_t parts = (count + partSize - 1) / partSize;
    if (parts <= 1) {
        work(std::size_t{0}, count);
        return;
    }
    const auto runPart = [&](std::size_t part) {
        work(part * partSize, std::min(count, (part + 1) * partSize));
    };
    std::vector<std::thread> helpers;
    std::vector<std::size_t> leftOver;
    helpers.reserve(parts - 1);
    for (std::size_t part = 1; part < parts; ++part) {
        try {
            helpers.emplace_back(runPart, part);
        } catch (const std::system_error &) {
            leftOver.push_back(part);
        }
    }
    runPart(0);
    for (const std::size_t part : leftOver)
        runPart(part);
    for (std::thread &helper : helpers)
        helper.join();
}

// A large folder's listing is a few large arrays and many small texts, made on a worker thread and
// released on the main thread when the menu closes. Left to itself, glibc raises its thresholds after each
// large block it frees, up to tens of megabytes: the arrays then come from the worker thread's heap, whose
// free end is given back only above the raised threshold (malloc_trim does not reach it), and the memory
// of the largest listing so far stays resident for good. Fixed thresholds give it back once the closed
// menu has let go of it; the next opening of a large folder faults its pages in again, a small part of
// listing it. The free end kept is glibc's first default: at a megabyte, each listing thread's heap kept
// most of one resident after the menu had closed.
// Small blocks are merged with their free neighbours as they are freed, not kept aside to be merged all at
// once: the rows of a long menu are millions of small blocks, freed off the main thread, and the next large
// block the main thread asked for merged them all on its turn (tens of milliseconds at 200,000 rows).
void fixAllocationThresholds() {
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] {
        constexpr int kTrimThreshold = 128 * 1024;
        constexpr int kMmapThreshold = 1024 * 1024;
        mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
        mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
        mallopt(M_MXFAST, 0);
    });
#endif
}

// Sets the facts a status gives, which take no allocation.
void describe(FolderEntry &entry, const struct statx &status, const FileAccess &access) {
    entry.type = typeOf(status.stx_mode);
    entry.isReadable = access.canRead(status);
    entry.size = std::int64_t(status.stx_size);
    entry.dateModified = secondsSince2001(status.stx_mtime);
    entry.dateAccessed = secondsSince2001(status.stx_atime);
    entry.dateAdded = secondsSince2001(status.stx_ctime);
    entry.dateCreated.reset();
    if (status.stx_mask & STATX_BTIME)
        entry.dateCreated = secondsSince2001(status.stx_btime);
}

// Everything one entry needs to be described; shared, read-only, by the threads of one listing.
struct EntryExamination {
    const FolderListingFaults &faults;
    int directoryFd;
    qsizetype nameStart;
    bool needsContentType;
    bool needsTags;
    // Readability from the mode bits, so that listing costs no extra call per entry.
    FileAccess access = {};

    // The entry's own status, on any thread: its error (0 when it was read), and for an entry that is not
    // a symbolic link the facts of `entry` that need no text.
    int look(const QByteArray &path, FolderEntry &entry) const {
        struct statx status {};
        const int error = statEntry(faults, directoryFd, path.constData() + nameStart, path, status);
        if (error == 0) {
            entry.isSymbolicLink = S_ISLNK(status.stx_mode);
            if (!entry.isSymbolicLink)
                describe(entry, status, access);
        }
        return error;
    }

    // Completes `entry` for the item at `path` after look() gave `error`, on the listing's own thread;
    // false when it is to be left out.
    bool complete(QByteArray path, int error, FolderEntry &entry) const {
        if (error == ENOENT)
            return false; // gone since the directory was read
        entry.path = std::move(path);
        entry.resolvedPath = entry.path;
        if (error == 0 && entry.isSymbolicLink) {
            // A link is described by its target; one that cannot be followed (dangling, a loop) stays
            // itself, an alias whose original is gone.
            entry.type = FolderEntry::Type::symbolicLink;
            struct statx status {};
            const bool isStated =
                statEntry(faults, directoryFd, entry.path.constData() + nameStart, entry.path, status) == 0;
            if (isStated)
                describe(entry, status, access);
            // A target behind a folder this user may not enter exists but cannot be reached: the row
            // explains the missing access rather than passing for an item that opens.
            if (char *resolved = realpath(entry.path.constData(), nullptr)) {
                QByteArray target(resolved);
                std::free(resolved);
                struct statx targetStatus {};
                const int targetError = statEntry(faults, AT_FDCWD, target.constData(), target, targetStatus);
                if (targetError == 0) {
                    entry.resolvedPath = std::move(target);
                    describe(entry, targetStatus, access);
                } else if (targetError == EACCES) {
                    entry.isReadable = false;
                }
            } else if (errno == EACCES) {
                entry.isReadable = false;
            }
        }
        if (isSystemName(lastComponent(entry.resolvedPath)))
            return false;
        entry.name = QString::fromUtf8(entry.path.constData() + nameStart, entry.path.size() - nameStart);
        if (error != 0)
            entry.isReadable = false; // known to exist but not examinable: listed, shown as unreadable
        if (faults.isUnreadable && faults.isUnreadable(entry.resolvedPath))
            entry.isReadable = false;
        if (needsContentType)
            entry.contentType = contentTypeName(entry);
        if (needsTags)
            entry.tags = url::tagNames(entry.resolvedUrl());
        return true;
    }
};

// The key of a sort by date: the date itself.
SortOrderComparator::Key dateKey(Folder::SortOrder order, const FolderEntry &entry) {
    switch (order) {
    case Folder::SortOrder::dateAdded:
        return {std::nullopt, entry.dateAdded};
    case Folder::SortOrder::dateModified:
        return {std::nullopt, entry.dateModified};
    case Folder::SortOrder::dateCreated:
        return {std::nullopt, entry.dateCreated};
    case Folder::SortOrder::dateAccessed:
        return {std::nullopt, entry.dateAccessed};
    default:
        return {};
    }
}

// A stable sort of indexes in ascending order. A large range is sorted in parts on a few threads, which
// are then merged, stably too. The parts are sorted without a buffer, which the helper threads may not
// allocate: equal keys are kept in order by their indexes.
template <typename Less>
void sortIndexes(std::vector<std::size_t>::iterator begin, std::vector<std::size_t>::iterator end,
                 const Less &less) {
    const std::size_t count = std::size_t(end - begin);
    const auto lessOrEarlier = [&](std::size_t lhs, std::size_t rhs) {
        if (less(lhs, rhs))
            return true;
        return !less(rhs, lhs) && lhs < rhs;
    };
    inChunks(count, /*mayShareOut=*/true, [&](std::size_t partBegin, std::size_t partEnd) {
        std::sort(begin + std::ptrdiff_t(partBegin), begin + std::ptrdiff_t(partEnd), lessOrEarlier);
    });
    for (std::size_t width = chunkSize(count, /*mayShareOut=*/true); width < count; width *= 2) {
        for (std::size_t start = 0; start + width < count; start += 2 * width)
            std::inplace_merge(begin + std::ptrdiff_t(start), begin + std::ptrdiff_t(start + width),
                               begin + std::ptrdiff_t(std::min(count, start + 2 * width)), less);
    }
}

// A collation key laid out for fast comparison: its first 16 bytes as two numbers that compare as the
// bytes do, in the key itself, and the rest only looked at when those are equal. Names in one folder
// mostly differ early, so most comparisons read no key's bytes at all. Collation keys end in their only
// zero byte, so padding a short one with zeros keeps its place before every longer key it begins.
struct PackedTextKey {
    bool hasKey = false;
    std::uint64_t head[2] = {0, 0};
    const unsigned char *bytes = nullptr;
    qsizetype size = 0;

    static constexpr qsizetype kHeadSize = 16;

    PackedTextKey() = default;
    PackedTextKey(const unsigned char *keyBytes, qsizetype keySize)
        : hasKey(true)
        , bytes(keyBytes)
        , size(keySize) {
        for (qsizetype index = 0; index < std::min(size, kHeadSize); ++index)
            head[index / 8] |= std::uint64_t(bytes[index]) << (56 - 8 * (index % 8));
    }

    // The order of SortOrderComparator::lessThan for text: a missing key first, then by the key's bytes.
    friend bool operator<(const PackedTextKey &lhs, const PackedTextKey &rhs) {
        if (lhs.hasKey != rhs.hasKey)
            return rhs.hasKey;
        if (!lhs.hasKey)
            return false;
        if (lhs.head[0] != rhs.head[0])
            return lhs.head[0] < rhs.head[0];
        if (lhs.head[1] != rhs.head[1])
            return lhs.head[1] < rhs.head[1];
        const qsizetype leftRest = std::max<qsizetype>(0, lhs.size - kHeadSize);
        const qsizetype rightRest = std::max<qsizetype>(0, rhs.size - kHeadSize);
        const int rest = leftRest == 0 || rightRest == 0
                             ? 0
                             : std::memcmp(lhs.bytes + kHeadSize, rhs.bytes + kHeadSize,
                                           std::size_t(std::min(leftRest, rightRest)));
        return rest < 0 || (rest == 0 && leftRest < rightRest);
    }
};

// The collation keys of a listing sorted by text, and the memory they are in. Names and kinds are keyed on
// a few threads for a large folder, each writing into its part of a block made here, since the helper
// threads allocate nothing; a key that does not fit its part, and every key of tags, is made afterwards.
class TextKeys {
public:
    TextKeys(const std::vector<FolderEntry> &entries, Folder::SortOrder order,
             const SortOrderComparator &comparator)
        : m_keys(entries.size()) {
        const std::size_t count = entries.size();
        const bool isByTags = order == Folder::SortOrder::tags;
        const std::size_t partSize = chunkSize(count, /*mayShareOut=*/!isByTags);
        const std::size_t parts = (count + partSize - 1) / std::max<std::size_t>(1, partSize);
        // Comparators and blocks are made here, on the listing's own thread.
        std::vector<std::optional<SortOrderComparator>> ownComparators(parts);
        for (std::size_t part = 1; part < parts; ++part)
            ownComparators[part].emplace(order);
        // One block for all parts: as a single large block it goes back to the system when it is freed.
        m_block.resize(count * kBytesPerKey);
        std::vector<int> lengths(count, kNotMade);
        const auto textOf = [&](const FolderEntry &entry) -> const QString * {
            if (order == Folder::SortOrder::name)
                return &entry.name;
            return entry.contentType ? &*entry.contentType : nullptr;
        };
        if (!isByTags) {
            inChunks(count, /*mayShareOut=*/true, [&](std::size_t begin, std::size_t end) {
                const std::size_t part = begin / partSize;
                const SortOrderComparator &keyMaker = part == 0 ? comparator : *ownComparators[part];
                unsigned char *const block = m_block.data() + begin * kBytesPerKey;
                const std::size_t blockSize = (end - begin) * kBytesPerKey;
                std::size_t used = 0;
                for (std::size_t index = begin; index < end; ++index) {
                    const QString *text = textOf(entries[index]);
                    if (!text) {
                        lengths[index] = kMissing;
                        continue;
                    }
                    const int room = int(std::min<std::size_t>(blockSize - used, INT_MAX));
                    const int length = keyMaker.writeCollationKey(*text, block + used, room);
                    if (length < 0 || length > room)
                        continue; // made afterwards
                    m_keys[index] = PackedTextKey(block + used, length);
                    lengths[index] = length;
                    used += std::size_t(length);
                }
            });
        }
        for (std::size_t index = 0; index < count; ++index) {
            if (lengths[index] != kNotMade)
                continue;
            const FolderEntry &entry = entries[index];
            if (isByTags) {
                m_overflow.push_back(comparator.collationKey(entry.tags.join(QLatin1Char(','))));
            } else if (const QString *text = textOf(entry)) {
                m_overflow.push_back(comparator.collationKey(*text));
            } else {
                continue;
            }
            const QByteArray &key = m_overflow.back();
            m_keys[index] =
                PackedTextKey(reinterpret_cast<const unsigned char *>(key.constData()), key.size());
        }
    }

    const PackedTextKey &operator[](std::size_t index) const { return m_keys[index]; }

private:
    // Enough for the keys of most names; a longer one is made afterwards.
    static constexpr std::size_t kBytesPerKey = 64;
    static constexpr int kNotMade = -1;
    static constexpr int kMissing = -2;

    std::vector<PackedTextKey> m_keys;
    std::vector<unsigned char> m_block;
    // Keys made afterwards; a list, so that adding one moves none of the others.
    std::list<QByteArray> m_overflow;
};

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

std::vector<std::size_t> longestNames(const std::vector<FolderEntry> &entries, std::size_t count) {
    // The longest `count` so far, in a heap whose top is the one to give way.
    using Candidate = std::pair<qsizetype, std::size_t>;
    const auto longerOrEarlier = [](const Candidate &a, const Candidate &b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    };
    std::vector<Candidate> kept;
    kept.reserve(count + 1);
    for (std::size_t index = 0; index < entries.size() && count > 0; ++index) {
        const qsizetype length = entries[index].name.size();
        if (kept.size() == count) {
            if (kept.front().first >= length)
                continue;
            std::pop_heap(kept.begin(), kept.end(), longerOrEarlier);
            kept.pop_back();
        }
        kept.emplace_back(length, index);
        std::push_heap(kept.begin(), kept.end(), longerOrEarlier);
    }
    std::sort_heap(kept.begin(), kept.end(), longerOrEarlier);
    std::vector<std::size_t> indices;
    indices.reserve(kept.size());
    for (const Candidate &candidate : kept)
        indices.push_back(candidate.second);
    return indices;
}

void releaseListingElsewhere(std::vector<FolderEntry> entries) {
    // Below this, handing the entries over costs more than freeing them here.
    constexpr std::size_t kEntriesFreedHere = 1024;
    if (entries.size() < kEntriesFreedHere || !QCoreApplication::instance())
        return;
    auto held = std::make_shared<std::vector<FolderEntry>>(std::move(entries));
    QThreadPool::globalInstance()->start([held] {
        *held = {};
        // The names and paths were made on the listing's thread, in a heap of its own: what was freed
        // there goes back to the system, where it would otherwise wait for the next large listing.
        platform::giveBackFreedMemorySoon();
    });
}

void FolderListingFaults::setShared(FolderListingFaults faults) {
    sharedFaults() = std::move(faults);
}

std::vector<FolderEntry> folderContents(const QUrl &directory, const FolderContentsOptions &options) {
    const QByteArray directoryPath = url::localPath(directory);
    if (directoryPath.isEmpty())
        throw posixError(EINVAL, QStringLiteral("Cannot list “%1”").arg(directory.toDisplayString()));
    fixAllocationThresholds();
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
    // Closed on every way out; the entries are examined through it.
    const std::unique_ptr<DIR, int (*)(DIR *)> streamCloser(stream, &closedir);
    if (faults.didOpenDirectory)
        faults.didOpenDirectory(directoryPath);

    const QByteArray prefix = directoryPath.endsWith('/') ? directoryPath : directoryPath + '/';
    const QSet<QByteArray> namesToHide =
        options.showHiddenItems ? QSet<QByteArray>() : hiddenNames(prefix, faults);

    // The names first, then every entry examined: the examination is what costs (a statx each, a
    // realpath for a link), and for a large folder it is shared out among a few threads.
    std::vector<QByteArray> paths;
    for (;;) {
        // Only a null return with errno set is a failure.
        errno = 0;
        const dirent *item = readdir(stream);
        if (!item) {
            if (const int readError = errno)
                throw posixError(readError, QStringLiteral("Cannot list “%1”").arg(displayPath));
            break;
        }
        const char *name = item->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        if (!options.showHiddenItems &&
            (name[0] == '.' || (!namesToHide.isEmpty() && namesToHide.contains(QByteArray(name)))))
            continue;
        // Of the exact size: appended, a path gets room to grow, about three times its length.
        const auto nameLength = qsizetype(std::strlen(name));
        QByteArray &path = paths.emplace_back();
        path.reserve(prefix.size() + nameLength);
        path.append(prefix).append(name, nameLength);
    }

    const EntryExamination examination{.faults = faults,
                                       .directoryFd = dirfd(stream),
                                       .nameStart = prefix.size(),
                                       .needsContentType = options.sortOrder == Folder::SortOrder::kind,
                                       .needsTags = options.sortOrder == Folder::SortOrder::tags};
    std::vector<FolderEntry> entries(paths.size());
    std::vector<int> errors(paths.size(), 0);
    // Faults are asked on the listing's own thread only, as their installer expects.
    const bool mayShareOut = !faults.statEntry && !faults.isUnreadable;
    inChunks(paths.size(), mayShareOut, [&](std::size_t begin, std::size_t end) {
        for (std::size_t index = begin; index < end; ++index)
            errors[index] = examination.look(paths[index], entries[index]);
    });
    // Left out (gone, or a system name) are dropped; the rest keep the listing's order.
    std::size_t kept = 0;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        if (!examination.complete(std::move(paths[index]), errors[index], entries[index]))
            continue;
        if (kept != index)
            entries[kept] = std::move(entries[index]);
        ++kept;
    }
    entries.resize(kept);
    return entries;
}

void sortFolderEntries(std::vector<FolderEntry> &entries, Folder::SortOrder order, bool keepFoldersOnTop) {
    const SortOrderComparator comparator(order);
    // Each key is made once; the sort then compares only what was read while listing.
    const bool isByText = order == Folder::SortOrder::name || order == Folder::SortOrder::kind ||
                          order == Folder::SortOrder::tags;
    // Folders, then aliases, then the rest, each group sorted on its own: the comparisons then look at the
    // keys alone, not at the entries spread over memory.
    std::vector<std::size_t> indexes(entries.size());
    std::iota(indexes.begin(), indexes.end(), std::size_t{0});
    std::vector<std::pair<std::vector<std::size_t>::iterator, std::vector<std::size_t>::iterator>> groups;
    auto rest = indexes.begin();
    if (keepFoldersOnTop) {
        rest = std::stable_partition(indexes.begin(), indexes.end(),
                                     [&](std::size_t index) { return entries[index].isFolder(); });
        const auto foldersEnd = rest;
        rest = std::stable_partition(rest, indexes.end(),
                                     [&](std::size_t index) { return entries[index].isAlias(); });
        groups.emplace_back(indexes.begin(), foldersEnd);
        groups.emplace_back(foldersEnd, rest);
    }
    groups.emplace_back(rest, indexes.end());
    if (isByText) {
        const TextKeys packed(entries, order, comparator);
        for (const auto &[groupBegin, groupEnd] : groups)
            sortIndexes(groupBegin, groupEnd,
                        [&](std::size_t lhs, std::size_t rhs) { return packed[lhs] < packed[rhs]; });
    } else {
        std::vector<SortOrderComparator::Key> keys;
        keys.reserve(entries.size());
        for (const FolderEntry &entry : entries)
            keys.push_back(dateKey(order, entry));
        for (const auto &[groupBegin, groupEnd] : groups)
            sortIndexes(groupBegin, groupEnd, [&](std::size_t lhs, std::size_t rhs) {
                return comparator.lessThan(keys[lhs], keys[rhs]);
            });
    }
    // Moved into their places along the permutation's cycles, so that no second array of entries is made.
    std::vector<bool> isPlaced(entries.size(), false);
    for (std::size_t start = 0; start < entries.size(); ++start) {
        if (isPlaced[start] || indexes[start] == start)
            continue;
        FolderEntry held = std::move(entries[start]);
        std::size_t position = start;
        for (;;) {
            isPlaced[position] = true;
            const std::size_t from = indexes[position];
            if (from == start) {
                entries[position] = std::move(held);
                break;
            }
            __builtin_prefetch(&entries[indexes[from]]);
            entries[position] = std::move(entries[from]);
            position = from;
        }
    }
}

} // namespace kestrova

#pragma once

#include "store/Folder.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kestrova {

// One entry of a folder listing with every fact that sorting and building its menu row need, read once
// while listing. A symbolic link is listed as itself, under its own name and path, as the desktop's file
// managers show it; its kind, size, dates and readability are those of its target, which opening and the
// row's icon follow. One that cannot be followed (dangling, a loop) stays itself and counts as an alias, the
// Linux counterpart of an alias file whose original is gone.
struct FolderEntry {
    enum class Type { regularFile, directory, symbolicLink, other };

    // The entry's own path as the file system names it (a link's, not its target's), possibly not valid
    // UTF-8. Trashing and copying act on it.
    QByteArray path;
    // What the entry stands for: a link's target with every link resolved; `path` for anything else and
    // for a link that cannot be followed.
    QByteArray resolvedPath;
    // The entry's own name as text; invalid UTF-8 shows as replacement characters.
    QString name;
    // Whether the entry itself is a symbolic link, followed or not.
    bool isSymbolicLink = false;
    // The kind of what the entry stands for; `symbolicLink` only for a link that cannot be followed.
    Type type = Type::other;
    bool isReadable = true;
    std::int64_t size = 0;
    // Seconds since 2001, like platform::Date.
    std::optional<double> dateModified;
    std::optional<double> dateAccessed;
    std::optional<double> dateCreated;
    // The status-change time: Linux keeps no date of adding to a folder.
    std::optional<double> dateAdded;
    // Read only when the listing is sorted by kind or by tags.
    std::optional<QString> contentType;
    QStringList tags;

    // A directory (Linux has no package folders).
    bool isFolder() const { return type == Type::directory; }
    bool isAlias() const { return type == Type::symbolicLink; }
    // The name of what the entry stands for (a link's target's name), which tells its kind.
    QString resolvedName() const;
    // The file URLs of `path` and of `resolvedPath`, made from their bytes so that any name can still be
    // opened.
    QUrl url() const;
    QUrl resolvedUrl() const;
};

// What a listing needs beyond the directory: the folder's choices.
struct FolderContentsOptions {
    Folder::SortOrder sortOrder = Folder::SortOrder::name;
    bool showHiddenItems = false;
    // Asked by the menu of a folder with an item limit; icons come from a per-type cache on Linux, so this
    // only says that rows of this listing will be drawn soon.
    bool prefetchIcons = false;
};

// Failures injected by tests, which run as root and so cannot make an item unreadable. Each returns an
// errno value to fail with, or 0. A listing takes a copy when it starts and calls it on its own thread.
struct FolderListingFaults {
    std::function<int(const QByteArray &directoryPath)> openDirectory = {};
    std::function<int(const QByteArray &entryPath)> statEntry = {};
    // Also asked for the directory's ".hidden" file.
    std::function<bool(const QByteArray &entryPath)> isUnreadable = {};
    // Called after the directory was opened and before its entries are read.
    std::function<void(const QByteArray &directoryPath)> didOpenDirectory = {};

    static void setShared(FolderListingFaults faults);
};

// The entries of one directory, one level deep, in the order the file system gives them (sorting is the
// caller's). Hidden entries only with `showHiddenItems`: a name with a leading ".", and a name listed in the
// directory's ".hidden" file (one name per line, the desktop's file managers' convention; only a regular
// file is read, and only its first 256 KiB). ".DS_Store", ".localized" and ".Trash" never. Nothing below the
// directory is read, and no entry is opened: special files are only looked at, never read. No access time
// changes where the system permits. An entry that disappears while it is listed is left out. Throws
// kestrova::Error in the POSIX domain when the directory itself cannot be listed (EACCES: no permission). Any
// thread.
std::vector<FolderEntry> folderContents(const QUrl &directory, const FolderContentsOptions &options);

// The indices of at most `count` entries with the longest names, longest first and the earliest first among
// equals: a menu of the entries is as wide as one of them, so it measures only these. Any thread.
std::vector<std::size_t> longestNames(const std::vector<FolderEntry> &entries, std::size_t count);
// How many a listing finds for its menu.
constexpr std::size_t kLongestNamesListed = 64;

// Frees a large listing on a pooled thread and gives the memory back to the system: tens of thousands of
// names and paths take milliseconds to free, which the main thread need not wait for. A small one, or one
// without an application, is freed at once. The entries' texts may still be shared by menu rows: only
// their last owner frees them.
void releaseListingElsewhere(std::vector<FolderEntry> entries);

// Sorts in place: folders first and then aliases when `keepFoldersOnTop`, each group in `order` (name, kind
// and tags ascending in natural order, the four dates newest first); equal entries keep their order.
void sortFolderEntries(std::vector<FolderEntry> &entries, Folder::SortOrder order, bool keepFoldersOnTop);

} // namespace kestrova

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <optional>

// Security-scoped bookmarks on a desktop without a sandbox. A bookmark is our own small record of the item it
// was made from: its URL, device and inode, whether it is a folder and whether only reading was granted.
// Resolving goes by path: the item must still be there and of the same kind. Another inode or another device
// at that path resolves as stale: a folder replaced, or a file system that came back with a new device
// number (remounted, re-plugged). An empty folder left on its parent's file system where the recorded one
// had a device of its own is a mount point without its volume: not mounted, nothing resolves. A folder that
// was moved or renamed no longer resolves; its old URL is still readable from the data. Access needs no grant
// here, so starting and stopping access only keeps count.
namespace kestrova::BookmarkData {

// Creation options, as the bookmarks' own API numbers them.
inline constexpr unsigned kWithSecurityScope = 0x800;
inline constexpr unsigned kSecurityScopeAllowOnlyReadAccess = 0x1000;

// The resource keys that can be read from bookmark data without resolving it.
inline constexpr auto kUrlStringKey = "_NSURLBookmarkURLStringKey";
inline constexpr auto kAllPropertiesKey = "NSURLBookmarkAllPropertiesKey";

// Bookmark data for the item at the file URL `url`. Throws kestrova::Error (POSIX domain) when the item
// cannot be examined or, unless read-only access is asked for, cannot be written to.
QByteArray create(const QUrl &url, unsigned options = kWithSecurityScope);

struct Resolution {
    QUrl url;
    bool isStale = false;
};
// Throws kestrova::Error when the data is damaged or the item is gone, of another kind or on an unmounted
// volume. The data itself is never changed.
Resolution resolve(const QByteArray &data);

// The data made afresh, with the same access, when the item resolves on another device than recorded;
// nothing when the record still matches or does not resolve.
std::optional<QByteArray> renewedForNewDevice(const QByteArray &data);

// The values stored in the data under `keys` (kUrlStringKey: the URL text; kAllPropertiesKey: a map of every
// stored property); empty for damaged data.
QVariantMap resourceValues(const QByteArray &data, const QStringList &keys);

// Always true: no grant is needed. Each start should be matched by a stop.
bool startAccessingSecurityScopedResource(const QUrl &url);
void stopAccessingSecurityScopedResource(const QUrl &url);
// How many starts of `url` are not yet matched by a stop (never below 0).
int accessCount(const QUrl &url);

} // namespace kestrova::BookmarkData

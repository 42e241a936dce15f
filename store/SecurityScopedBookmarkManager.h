#pragma once

#include "Defaults.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <functional>
#include <map>
#include <optional>

namespace kestrova {

// The kit's store of access to arbitrary folders (apart from the folders of the menu bar): one bookmark per
// folder, in the map under "__securityScopedBookmarks__", keyed by the folder's URL text with symbolic links
// resolved. Stale bookmarks are renewed silently; a folder without a usable bookmark is asked for with a
// panel. Main thread.
class SecurityScopedBookmarkManager {
public:
    SecurityScopedBookmarkManager() = delete;

    // The key of the stored map (a legacy JSON-text entry is migrated on every read of `bookmarks`).
    static const Defaults::Key<std::map<QString, QByteArray>> &userDefaultsKey();
    static std::map<QString, QByteArray> bookmarks();

    // The map key of a URL: its absolute text with symbolic links resolved, ending in "/" for a folder.
    static QString mapKey(const QUrl &url);

    // Stores `bookmarkData` for the URL (nothing removes the entry).
    static void saveBookmark(const std::optional<QByteArray> &bookmarkData, const QUrl &url);
    static std::optional<QByteArray> bookmarkData(const QUrl &url);
    // The folder of the stored bookmark, renewed first when it is stale; nothing when there is none or it
    // does not resolve.
    static std::optional<QUrl> bookmarkURL(const QUrl &url);

    // Asks the user to choose the folder `url` (a wrong folder is refused and the panel shown again) and
    // stores a new bookmark; the chosen folder, or nothing when the user cancelled, the bookmark could not be
    // made (that is shown) or another request is already showing its panel.
    static QCoro::Task<std::optional<QUrl>> requestAccess(QUrl url,
                                                          std::optional<QString> message = std::nullopt);

    // Runs `work` with access to the folder of `url` (asking for it when needed); nothing runs when access is
    // not granted. An error `work` throws (kestrova::Error) is shown after the access ended, never passed on.
    static QCoro::Task<> access(QUrl url, std::function<void()> work);

    // True while a request's panel is up.
    static bool isRequestInProgress();
};

} // namespace kestrova

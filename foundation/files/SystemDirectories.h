#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace kestrova {

// The user's standard folders, as the XDG user-dirs configuration names them.
enum class SystemDirectory {
    desktop,
    downloads,
    documents,
    pictures,
    movies,
    music,
    sharedPublic,
    applicationSupport, // the data home, $XDG_DATA_HOME
    caches,             // the cache home, $XDG_CACHE_HOME
};

// Lookups of system folders that never fail: a failure is reported and a usable folder is answered instead.
struct SystemDirectories {
    // The folder in the user's domain, with symbolic links resolved; the temporary folder when the lookup
    // fails. The folder is not created.
    static QUrl url(SystemDirectory directory);

    // A new, empty folder (mode 0700) on the same file system as `item` (the application's folder when none
    // is given), where a replacement for the item can be written and then renamed over it. Falls back to a
    // new folder inside the temporary folder.
    static QUrl itemReplacementDirectory(const std::optional<QUrl> &item = std::nullopt);

    // The name used in reports.
    static QString printedName(SystemDirectory directory);

    // The name of the application's own folder inside each XDG home (data, cache, config, state): lower
    // case, whatever the application's display name, so that every part of the application writes to, and
    // the reset removes, the same folders.
    static QString applicationFolderName() { return QStringLiteral("kestrova"); }

    // The answer of url() for what the platform lookup gave; empty means the lookup failed.
    static QUrl resolve(SystemDirectory directory, const QString &lookedUpPath);
};

} // namespace kestrova

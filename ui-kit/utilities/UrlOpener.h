#pragma once

#include "foundation/errors/Error.h"

#include <QString>
#include <QUrl>

#include <functional>

namespace kestrova {

// Opens URLs with the desktop's handler for them (the default application of a file or folder, the
// browser for a web page, the mail application for a "mailto:" link), through the shared workspace.
// Tests install a handler that records instead; main thread only.
//
// A failure is never silent: the user is told in an alert what could not be opened and what to install
// or choose so that it can be (a file manager for folders, a browser for pages, and so on).
class UrlOpener {
public:
    // True when the URL was handed to an application; false refuses it.
    using Handler = std::function<bool(const QUrl &url)>;

    // Opens the URL; on failure presents openFailure on a later turn and answers false.
    static bool open(const QUrl &url);

    // Installs `handler` (the shared workspace again for an empty one) and returns the one it replaces.
    static Handler setHandler(Handler handler);

    // The error shown when `url` could not be opened; `reason` is the desktop's own account, if any.
    static Error openFailure(const QUrl &url, const QString &reason);
};

} // namespace kestrova

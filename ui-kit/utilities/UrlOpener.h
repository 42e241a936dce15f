#pragma once

#include <QUrl>

#include <functional>

namespace kestrova {

// Opens URLs with the desktop's handler for them (the default application of a file, the browser for a
// web page). Tests install a handler that records instead; main thread only.
class UrlOpener {
public:
    using Handler = std::function<bool(const QUrl &url)>;

    // The result of the handler is ignored by the menus, which have nothing to show for it.
    static bool open(const QUrl &url);

    // Installs `handler` (the desktop default again for an empty one) and returns the one it replaces.
    static Handler setHandler(Handler handler);
};

} // namespace kestrova

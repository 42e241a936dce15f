#include "UrlOpener.h"

#include <QDesktopServices>

namespace kestrova {

namespace {

UrlOpener::Handler &installedHandler() {
    static UrlOpener::Handler handler;
    return handler;
}

} // namespace

bool UrlOpener::open(const QUrl &url) {
    if (const auto &handler = installedHandler())
        return handler(url);
    return QDesktopServices::openUrl(url);
}

UrlOpener::Handler UrlOpener::setHandler(Handler handler) {
    return std::exchange(installedHandler(), std::move(handler));
}

} // namespace kestrova

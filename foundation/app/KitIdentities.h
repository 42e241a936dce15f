#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QUrl>

#include <optional>

class QScreen;

namespace kestrova {

namespace platform {
class SharingService;
}

// The identities that let lists of system objects be shown and compared across changes, and the name a
// file is shown under.

// A screen's identity: the output's name as the window system gives it ("HDMI-1", "eDP-1"), which stays the
// same while the screen is connected; nothing for a screen without a name.
std::optional<QString> screenIdentity(const QScreen *screen);

// A sharing service's identity: its title, the only name a service has here.
QString sharingServiceIdentity(const platform::SharingService &service);

// The name under which the file manager shows the item: the file's display name (a name that is not valid
// UTF-8 comes out readable), else the URL's last path component.
QString displayName(const QUrl &url);

// A copy of `image` drawn into the whole of `size` (stretched, not flipped), keeping its device pixel ratio
// and its text entries (where a caller keeps marks such as a template flag). A null image stays null.
QImage resized(const QImage &image, const QSize &size);

} // namespace kestrova

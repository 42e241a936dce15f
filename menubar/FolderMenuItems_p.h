#pragma once

#include "platform/menus/MenuItem.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

namespace kestrova {

namespace platform {
class Menu;
}

// A hidden alternate: an empty-view row, then the action item that stands in for it only while exactly
// `modifier` is held. Returns the action item.
std::shared_ptr<platform::MenuItem> addHiddenAlternate(platform::Menu &menu, const QString &title,
                                                       std::function<void()> action,
                                                       platform::Modifier modifier);

// A disabled row standing where a window this build lacks would open: "<title> (not available yet)".
std::shared_ptr<platform::MenuItem> addUnavailableItem(platform::Menu &menu, const QString &title);

// The missing-access help for the item at `url` from the hooks, or one disabled line when none is
// installed.
void addMissingAccessItems(platform::Menu &menu, const QUrl &url);

} // namespace kestrova

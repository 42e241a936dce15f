#pragma once

#include "FolderMenuHooks.h"

#include "store/Shortkeel.h"

#include <memory>
#include <optional>

namespace kestrova {

class FolderController;
namespace platform {
class Menu;
}

using Shortkeel::carbonModifiers;
// The shortcut a key-down or key-up event presses; nothing for other events.
std::optional<Shortkeel::Shortcut> shortcutOfEvent(const MenuKeyEvent &event);
// The stored shortcut of a folder (under its identifier); nothing when missing, cleared or unreadable.
std::optional<Shortkeel::Shortcut> storedShortcut(const Folder &folder);

// Keeps folder shortcuts working inside an open folder menu, whose tracking swallows the global hot keys
// (and whose controller has unregistered them). The open folder's own shortcut closes `openMenu`; another
// folder's shortcut closes it and runs that folder's hot-key action, which opens its menu. Returns whether
// the event was handled; false passes it on to the menu (navigation, type-select). Main thread.
bool handleMenuKeyDown(const MenuKeyEvent &event, const std::weak_ptr<FolderController> &controller,
                       platform::Menu &openMenu);

} // namespace kestrova

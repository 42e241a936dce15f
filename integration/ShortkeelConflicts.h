#pragma once

#include "store/Shortkeel.h"

#include <memory>

namespace kestrova::platform {
class Menu;
class MenuItem;
} // namespace kestrova::platform

// Whether a shortcut about to be recorded is taken already: by the desktop or another program, or as the
// key equivalent of one of our own menu items. Asked afresh at every call. Main thread only.
namespace kestrova::Shortkeel {

// Whether another program or the desktop holds the shortcut as a hot key (on X11 a trial grab tells; a
// shortcut Kestrova holds itself is not taken). Where the desktop does not tell, false, and the first such
// question is reported.
bool isSystemShortcut(const Shortcut &shortcut);

// The first item of `menu`, depth first through its submenus, whose key equivalent is the shortcut: the
// same character on the current layout and exactly the same modifiers (an upper-case key equivalent stands
// for Shift with the letter). Null when none is.
std::shared_ptr<platform::MenuItem> menuItemWithMatchingShortcut(const Shortcut &shortcut,
                                                                 const platform::Menu &menu);

} // namespace kestrova::Shortkeel

#include "FolderMenuShortcuts.h"

#include "FolderController.h"

#include "store/ShortkeelHandlers.h"
#include "platform/menus/Menu.h"
#include "store/Defaults.h"
#include "store/DefaultsKeys.h"

namespace kestrova {

namespace {

void cancelTracking(platform::Menu &menu) {
    if (const auto &cancel = FolderMenuHooks::shared().cancelMenuTracking)
        cancel(menu);
    else
        menu.menuDidClose();
}

} // namespace

std::optional<Shortkeel::Shortcut> shortcutOfEvent(const MenuKeyEvent &event) {
    if (event.type == MenuKeyEvent::Type::other)
        return std::nullopt;
    return Shortkeel::Shortcut{event.keyCode, carbonModifiers(event.modifiers)};
}

std::optional<Shortkeel::Shortcut> storedShortcut(const Folder &folder) {
    return Shortkeel::getShortcut(folder.shortcutName());
}

bool handleMenuKeyDown(const MenuKeyEvent &event, const std::weak_ptr<FolderController> &weakController,
                       platform::Menu &openMenu) {
    const auto controller = weakController.lock();
    if (!controller)
        return false;
    const auto pressed = shortcutOfEvent(event);
    const Folder folder = controller->folder();
    // Both absent counts as equal: an event that is no key press closes a folder menu without a shortcut.
    if (pressed == storedShortcut(folder)) {
        cancelTracking(openMenu);
        return true;
    }
    if (!pressed)
        return false;
    std::optional<Folder> matched;
    for (const Folder &other : Defaults::get(Defaults::Keys::folders())) {
        if (other == folder)
            continue;
        if (storedShortcut(other) == pressed) {
            matched = other;
            break;
        }
    }
    if (!matched)
        return false;
    cancelTracking(openMenu);
    if (const auto shortcut = storedShortcut(*matched)) {
        if (const auto &dispatch = FolderMenuHooks::shared().dispatchShortcutKeyDown)
            dispatch(*shortcut);
    }
    return true;
}

} // namespace kestrova

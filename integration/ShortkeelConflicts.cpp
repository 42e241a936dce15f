#include "ShortkeelConflicts.h"

#include "CarbonShortkeel.h"
#include "ShortkeelKeys.h"

#include "foundation/errors/GeneralError.h"
#include "foundation/app/KvApp.h"
#include "platform/menus/Menu.h"
#include "platform/menus/MenuItem.h"
#include "platform/desktop/hotkeys/HotKeyBackend.h"

namespace kestrova::Shortkeel {

bool isSystemShortcut(const Shortcut &shortcut) {
    const auto chord = hotKeyChord(shortcut);
    auto *backend = CarbonShortkeel::backend();
    if (!chord || !backend)
        return false;
    if (const auto held = backend->isHeldElsewhere(*chord))
        return *held;
    // Once per process: the answer does not change while the desktop stays the same.
    static bool reported = false;
    if (!std::exchange(reported, true))
        KvApp::reportError(GeneralError(QStringLiteral("Could not get system keyboard shortcuts")));
    return false;
}

std::shared_ptr<platform::MenuItem> menuItemWithMatchingShortcut(const Shortcut &shortcut,
                                                                 const platform::Menu &menu) {
    const auto character = keyToCharacter(shortcut.carbonKeyCode);
    const platform::Modifiers pressed = modifiers(shortcut);
    for (const auto &item : menu.items()) {
        QString key = item->keyEquivalent();
        platform::Modifiers mask = item->keyEquivalentModifierMask();
        if (pressed.testFlag(platform::Modifier::shift) && key != key.toLower()) {
            key = key.toLower();
            mask |= platform::Modifier::shift;
        }
        if (character && !key.isEmpty() && *character == key && mask == pressed)
            return item;
        if (item->submenu()) {
            if (auto found = menuItemWithMatchingShortcut(shortcut, *item->submenu()))
                return found;
        }
    }
    return nullptr;
}

} // namespace kestrova::Shortkeel

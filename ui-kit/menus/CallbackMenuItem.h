#pragma once

#include "platform/menus/Menu.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace kestrova {

// How addCallbackItem and CallbackMenuItem set up an item; the defaults make a plain enabled item.
struct CallbackItemOptions {
    // One character, or empty for no key equivalent.
    QString key = {};
    // None keeps the default mask, Command, so a key without modifiers is a Command shortcut.
    std::optional<platform::Modifiers> keyModifiers = {};
    bool isEnabled = true;
    bool isChecked = false;
    bool isHidden = false;
};

// The menu item whose action is a closure; every item that does something is one. The item owns the
// closure; it runs on the main thread when the item is chosen (MenuItem::performAction).
class CallbackMenuItem : public platform::MenuItem {
public:
    CallbackMenuItem(const QString &title, std::function<void()> callback,
                     const CallbackItemOptions &options = {});
};

// Makes a CallbackMenuItem, appends it to `menu` and returns it, so that a caller can go on to make it an
// alternate or give it an image or a submenu. The one way the application makes an actionable item.
std::shared_ptr<CallbackMenuItem> addCallbackItem(platform::Menu &menu, const QString &title,
                                                  std::function<void()> callback,
                                                  const CallbackItemOptions &options = {});

} // namespace kestrova

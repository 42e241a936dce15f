#include "CallbackMenuItem.h"

namespace kestrova {

CallbackMenuItem::CallbackMenuItem(const QString &title, std::function<void()> callback,
                                   const CallbackItemOptions &options)
    : platform::MenuItem(title) {
    setKeyEquivalent(options.key);
    if (options.keyModifiers)
        setKeyEquivalentModifierMask(*options.keyModifiers);
    setEnabled(options.isEnabled);
    setState(options.isChecked ? State::on : State::off);
    setHidden(options.isHidden);
    setAction(std::move(callback));
}

std::shared_ptr<CallbackMenuItem> addCallbackItem(platform::Menu &menu, const QString &title,
                                                  std::function<void()> callback,
                                                  const CallbackItemOptions &options) {
    auto item = std::make_shared<CallbackMenuItem>(title, std::move(callback), options);
    menu.addItem(item);
    return item;
}

} // namespace kestrova

#include "ShortkeelMenuItem.h"

#include "ShortkeelKeys.h"
#include "ShortkeelStorage.h"

#include "platform/menus/MenuItem.h"
#include "platform/observation/NotificationCenter.h"
#include "store/ShortkeelHandlers.h"

#include <map>

namespace kestrova::Shortkeel {

namespace {

// The change observation of each bound item.
std::map<const platform::MenuItem *, platform::NotificationCenter::ObserverId> &observations() {
    static std::map<const platform::MenuItem *, platform::NotificationCenter::ObserverId> tokens;
    return tokens;
}

void showShortcut(platform::MenuItem &item, const Name &name) {
    const auto shortcut = getShortcut(name);
    item.setKeyEquivalent(shortcut ? keyEquivalent(shortcut->carbonKeyCode) : QString());
    item.setKeyEquivalentModifierMask(shortcut ? modifiers(*shortcut) : platform::Modifiers());
}

} // namespace

void setShortcut(const std::shared_ptr<platform::MenuItem> &item, const std::optional<Name> &name) {
    auto &center = platform::NotificationCenter::defaultCenter();
    if (const auto bound = observations().find(item.get()); bound != observations().end()) {
        center.removeObserver(bound->second);
        observations().erase(bound);
    }
    if (!name) {
        item->setKeyEquivalent(QString());
        item->setKeyEquivalentModifierMask({});
        return;
    }
    showShortcut(*item, *name);
    observations()[item.get()] = center.addObserver(
        shortcutByNameDidChange, nullptr,
        [weak = std::weak_ptr(item), rawValue = name->rawValue](const platform::Notification &notification) {
            const auto changed = notification.userInfo.find(QStringLiteral("name"));
            const auto *changedName =
                changed == notification.userInfo.end() ? nullptr : std::any_cast<Name>(&changed->second);
            const auto item = weak.lock();
            if (item && changedName && changedName->rawValue == rawValue)
                showShortcut(*item, *changedName);
        });
}

} // namespace kestrova::Shortkeel

#include "ShortkeelHandlers.h"

#include "ShortcutService.h"

#include "foundation/JsonCoding.h"
#include "platform/UserDefaults.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace kestrova::Shortkeel {

namespace {

struct Listener {
    QString name;
    std::function<void()> action;
    bool isActive = true;
};

std::vector<std::shared_ptr<Listener>> &listeners() {
    static std::vector<std::shared_ptr<Listener>> list;
    return list;
}

// Takes the hot key of `name` down unless another name still listening is bound to the same shortcut.
void takeDownUnlessInUse(const QString &name) {
    const auto shortcut = getShortcut(Name(name));
    if (!shortcut)
        return;
    for (const auto &listener : listeners()) {
        if (getShortcut(Name(listener->name)) == shortcut)
            return;
    }
    ShortcutService::shared().takeDown(*shortcut);
}

} // namespace

std::optional<Shortcut> getShortcut(const Name &name) {
    const auto text = platform::UserDefaults::standard()->string(name.userDefaultsKey());
    if (!text)
        return std::nullopt;
    // A cleared shortcut is stored as false, which reads as "0" and decodes as no shortcut.
    return decodeJson<Shortcut>(text->toUtf8());
}

platform::Subscription onKeyDown(const Name &name, std::function<void()> action) {
    auto listener = std::make_shared<Listener>(Listener{name.rawValue, std::move(action)});
    listeners().push_back(listener);
    if (const auto shortcut = getShortcut(name))
        ShortcutService::shared().makeLive(*shortcut);
    return platform::Subscription([weak = std::weak_ptr(listener)] {
        const auto listener = weak.lock();
        if (!listener)
            return;
        listener->isActive = false;
        std::erase(listeners(), listener);
        takeDownUnlessInUse(listener->name);
    });
}

void handleOnKeyDown(const Shortcut &shortcut) {
    // A snapshot: actions may add or drop listeners (a menu opening, a status item going).
    const auto snapshot = listeners();
    for (const auto &listener : snapshot) {
        if (!listener->isActive || getShortcut(Name(listener->name)) != shortcut)
            continue;
        const auto action = listener->action;
        action();
    }
}

} // namespace kestrova::Shortkeel

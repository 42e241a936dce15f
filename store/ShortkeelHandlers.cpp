#include "ShortkeelHandlers.h"

#include "ShortcutService.h"

#include "foundation/json/JsonCoding.h"
#include "platform/defaults/UserDefaults.h"

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

namespace kestrova::Shortkeel {

namespace {

struct Listener {
    bool isKeyUp = false;
    QString name;
    std::function<void()> action;
    // An event stream's: runs after the plain actions, and outlives removeAllHandlers.
    bool isStream = false;
    bool isActive = true;
};

bool &pausedFlag() {
    static bool paused = false;
    return paused;
}

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

std::int64_t carbonModifiers(platform::Modifiers modifiers) {
    std::int64_t flags = 0;
    if (modifiers.testFlag(platform::Modifier::command))
        flags |= cmdKey;
    if (modifiers.testFlag(platform::Modifier::shift))
        flags |= shiftKey;
    if (modifiers.testFlag(platform::Modifier::option))
        flags |= optionKey;
    if (modifiers.testFlag(platform::Modifier::control))
        flags |= controlKey;
    return flags;
}

platform::Modifiers modifiersOfCarbon(std::int64_t carbonModifiers) {
    platform::Modifiers modifiers;
    modifiers.setFlag(platform::Modifier::command, (carbonModifiers & cmdKey) != 0);
    modifiers.setFlag(platform::Modifier::shift, (carbonModifiers & shiftKey) != 0);
    modifiers.setFlag(platform::Modifier::option, (carbonModifiers & optionKey) != 0);
    modifiers.setFlag(platform::Modifier::control, (carbonModifiers & controlKey) != 0);
    return modifiers;
}

std::optional<Shortcut> getShortcut(const Name &name) {
    const auto text = platform::UserDefaults::standard()->string(name.userDefaultsKey());
    if (!text)
        return std::nullopt;
    // A cleared shortcut is stored as false, which reads as "0" and decodes as no shortcut.
    return decodeJson<Shortcut>(text->toUtf8());
}

namespace {

// Adds listeners of one name that come and go together.
platform::Subscription addListeners(const Name &name, std::vector<std::shared_ptr<Listener>> added) {
    listeners().insert(listeners().end(), added.begin(), added.end());
    if (const auto shortcut = getShortcut(name))
        ShortcutService::shared().makeLive(*shortcut);
    std::vector<std::weak_ptr<Listener>> weak(added.begin(), added.end());
    return platform::Subscription([weak = std::move(weak), rawName = name.rawValue] {
        bool removed = false;
        for (const auto &entry : weak) {
            const auto listener = entry.lock();
            if (!listener)
                continue;
            listener->isActive = false;
            std::erase(listeners(), listener);
            removed = true;
        }
        if (removed)
            takeDownUnlessInUse(rawName);
    });
}

platform::Subscription addListener(bool isKeyUp, const Name &name, std::function<void()> action) {
    return addListeners(name,
                        {std::make_shared<Listener>(Listener{isKeyUp, name.rawValue, std::move(action)})});
}

void dispatch(bool isKeyUp, const Shortcut &shortcut) {
    if (pausedFlag())
        return;
    // A snapshot: actions may add or drop listeners (a menu opening, a status item going).
    const auto snapshot = listeners();
    for (const bool streams : {false, true}) {
        for (const auto &listener : snapshot) {
            if (!listener->isActive || listener->isStream != streams || listener->isKeyUp != isKeyUp ||
                getShortcut(Name(listener->name)) != shortcut)
                continue;
            const auto action = listener->action;
            action();
        }
    }
}

} // namespace

platform::Subscription onKeyDown(const Name &name, std::function<void()> action) {
    return addListener(false, name, std::move(action));
}

platform::Subscription onKeyUp(const Name &name, std::function<void()> action) {
    return addListener(true, name, std::move(action));
}

platform::Subscription onEvents(const Name &name, std::function<void(EventType)> action) {
    auto listener = [&](EventType type) {
        return std::make_shared<Listener>(Listener{type == EventType::keyUp, name.rawValue,
                                                   [action, type] { action(type); }, /*isStream=*/true});
    };
    return addListeners(name, {listener(EventType::keyDown), listener(EventType::keyUp)});
}

void removeAllHandlers() {
    std::set<Shortcut> ofActions;
    std::set<Shortcut> ofStreams;
    for (const auto &listener : listeners()) {
        if (const auto shortcut = getShortcut(Name(listener->name)))
            (listener->isStream ? ofStreams : ofActions).insert(*shortcut);
    }
    for (const Shortcut &shortcut : ofActions) {
        if (!ofStreams.contains(shortcut))
            ShortcutService::shared().takeDown(shortcut);
    }
    std::erase_if(listeners(), [](const std::shared_ptr<Listener> &listener) {
        if (listener->isStream)
            return false;
        listener->isActive = false;
        return true;
    });
}

void handleOnKeyDown(const Shortcut &shortcut) {
    dispatch(false, shortcut);
}

void handleOnKeyUp(const Shortcut &shortcut) {
    dispatch(true, shortcut);
}

bool isPaused() {
    return pausedFlag();
}

void setPaused(bool paused) {
    pausedFlag() = paused;
}

} // namespace kestrova::Shortkeel

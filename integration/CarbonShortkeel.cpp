#include "CarbonShortkeel.h"

#include "ShortkeelKeys.h"
#include "ShortkeelStorage.h"

#include "platform/desktop/hotkeys/HotKeyBackend.h"
#include "platform/observation/NotificationCenter.h"
#include "store/DefaultsKeys.h"
#include "store/Folder.h"
#include "store/ShortkeelHandlers.h"

#include <limits>
#include <set>

namespace kestrova::CarbonShortkeel {

namespace {

struct State {
    std::map<std::int64_t, std::shared_ptr<HotKey>> hotKeys;
    std::int64_t hotKeyIdCounter = 0;
    std::shared_ptr<platform::desktop::HotKeyBackend> backend;
    Callback recordingSink;
    // Hot keys pressed into the recording sink: their releases are no one's.
    std::set<std::int64_t> recordedPresses;
};

State &state() {
    static State shared;
    return shared;
}

void handleHotKeyEvent(std::uint32_t id, bool isPress) {
    if (!isPress && state().recordedPresses.erase(id) != 0)
        return;
    const auto found = state().hotKeys.find(id);
    if (found == state().hotKeys.end())
        return;
    // Kept alive through the call: a callback may take its own hot key down.
    const std::shared_ptr<HotKey> hotKey = found->second;
    const Callback &callback = isPress ? hotKey->onKeyDown : hotKey->onKeyUp;
    if (callback)
        callback(hotKey->shortcut);
}

void handleRecordedEvent(std::uint32_t id, bool isPress) {
    const auto found = state().hotKeys.find(id);
    if (found == state().hotKeys.end())
        return;
    if (!isPress) {
        state().recordedPresses.erase(id);
        return;
    }
    state().recordedPresses.insert(id);
    // A copy: recording it stores the shortcut, which may take this very hot key down.
    const Shortkeel::Shortcut shortcut = found->second->shortcut;
    if (const Callback sink = state().recordingSink)
        sink(shortcut);
}

void installRecordingSink() {
    State &shared = state();
    if (!shared.backend)
        return;
    shared.backend->setRecordingSink(shared.recordingSink ? &handleRecordedEvent
                                                          : platform::desktop::HotKeyBackend::Handler());
}

} // namespace

void registerShortcut(const Shortkeel::Shortcut &shortcut, Callback onKeyDown, Callback onKeyUp) {
    State &shared = state();
    const std::int64_t id = ++shared.hotKeyIdCounter;
    if (!shared.backend || id > std::numeric_limits<std::uint32_t>::max())
        return;
    const auto chord = Shortkeel::hotKeyChord(shortcut);
    if (!chord)
        return;
    const auto names = Shortkeel::namesStoring(shortcut);
    // Registered for no stored name (never by the application itself): named by its keys, still stable.
    const Shortkeel::Name name =
        names.empty()
            ? Shortkeel::Name(
                  QStringLiteral("keys-%1-%2").arg(shortcut.carbonKeyCode).arg(shortcut.carbonModifiers))
            : names.front();
    if (!shared.backend->grab(static_cast<std::uint32_t>(id), *chord, {name.rawValue, describe(name)}))
        return;
    shared.hotKeys[id] = std::make_shared<HotKey>(
        HotKey{shortcut, id, name.rawValue, std::move(onKeyDown), std::move(onKeyUp)});
    if (!shared.backend->hasHandler())
        shared.backend->setHandler(&handleHotKeyEvent);
}

void unregister(const Shortkeel::Shortcut &shortcut) {
    State &shared = state();
    for (auto entry = shared.hotKeys.begin(); entry != shared.hotKeys.end();) {
        if (entry->second->shortcut != shortcut) {
            ++entry;
            continue;
        }
        if (shared.backend) {
            shared.backend->release(static_cast<std::uint32_t>(entry->first));
            // Taken down for a while (an open menu) the name still stores it; cleared or replaced it does
            // not.
            const QString &name = entry->second->name;
            if (Shortkeel::getShortcut(Shortkeel::Name(name)) != shortcut)
                shared.backend->forget(name);
        }
        entry = shared.hotKeys.erase(entry);
    }
}

void enable(const Shortkeel::Name &name) {
    const auto shortcut = Shortkeel::getShortcut(name);
    if (!shortcut || Shortkeel::registeredShortcuts().contains(*shortcut))
        return;
    registerShortcut(*shortcut, &Shortkeel::handleOnKeyDown, &Shortkeel::handleOnKeyUp);
    Shortkeel::registeredShortcuts().insert(*shortcut);
}

void disable(const Shortkeel::Name &name) {
    const auto shortcut = Shortkeel::getShortcut(name);
    if (!shortcut)
        return;
    unregister(*shortcut);
    Shortkeel::registeredShortcuts().erase(*shortcut);
}

const std::map<std::int64_t, std::shared_ptr<HotKey>> &hotKeys() {
    return state().hotKeys;
}

std::int64_t hotKeyIdCounter() {
    return state().hotKeyIdCounter;
}

QString describe(const Shortkeel::Name &name) {
    if (name == Shortkeel::Name::toggleMenu())
        return QStringLiteral("Open the Kestrova menu");
    for (const Folder &folder : Defaults::get(Defaults::Keys::folders())) {
        if (folder.shortcutName() == name)
            return QStringLiteral("Open the menu of %1").arg(folder.title());
    }
    return QStringLiteral("Kestrova shortcut %1").arg(name.rawValue);
}

void setRecordingSink(Callback sink) {
    state().recordingSink = std::move(sink);
    installRecordingSink();
}

void setBackend(std::shared_ptr<platform::desktop::HotKeyBackend> backend) {
    releaseAll();
    if (state().backend)
        state().backend->setRecordingSink({});
    state().backend = std::move(backend);
    if (state().backend)
        state().backend->setAssignedTriggersObserver([] {
            platform::NotificationCenter::defaultCenter().post(
                {Shortkeel::assignedTriggersDidChange, nullptr, {}});
        });
    installRecordingSink();
}

platform::desktop::HotKeyBackend *backend() {
    return state().backend.get();
}

void releaseAll() {
    if (state().backend)
        state().backend->releaseAll();
    state().hotKeys.clear();
    state().recordedPresses.clear();
    Shortkeel::registeredShortcuts().clear();
}

} // namespace kestrova::CarbonShortkeel

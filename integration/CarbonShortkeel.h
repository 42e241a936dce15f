#pragma once

#include "store/Shortkeel.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace kestrova::platform::desktop {
class HotKeyBackend;
}

// Shortcuts as system-wide hot keys: each accepted registration gets the next identifier and a place in
// the hot-key table, and the backend's presses and releases of that identifier run its callbacks. The
// backend (X11 grabs, the desktop's portal) is installed at start-up; without one every registration is
// refused. Main thread only.
namespace kestrova::CarbonShortkeel {

using Callback = std::function<void(const Shortkeel::Shortcut &)>;

struct HotKey {
    Shortkeel::Shortcut shortcut;
    std::int64_t carbonHotKeyId = 0;
    // The stored name it was grabbed for (the first, where several store the shortcut).
    QString name;
    Callback onKeyDown;
    Callback onKeyUp;
};

// Uses up an identifier, then grabs the shortcut, labelled with the name that stores it and what its press
// does. A refusal (a key this keyboard has not, a bare key, a number out of range, a combination another
// program holds) is silent and leaves no entry.
void registerShortcut(const Shortkeel::Shortcut &shortcut, Callback onKeyDown, Callback onKeyUp);
// Takes down every hot key of the shortcut's key code and modifiers; the backend forgets the label of one
// whose name stores the shortcut no more.
void unregister(const Shortkeel::Shortcut &shortcut);
// Makes the name's stored shortcut live unless the registered set holds it already.
void enable(const Shortkeel::Name &name);
// Takes the name's stored shortcut down and drops it from the registered set.
void disable(const Shortkeel::Name &name);

const std::map<std::int64_t, std::shared_ptr<HotKey>> &hotKeys();
std::int64_t hotKeyIdCounter();

// What pressing the shortcut stored under `name` does, in the user's words ("Open the menu of Documents").
QString describe(const Shortkeel::Name &name);

// While set (a shortcut being recorded), a press of any hot key goes to `sink` and runs no callback, nor
// does the release of a key pressed then, even when it comes after recording ended. Null ends it.
void setRecordingSink(Callback sink);

// Null: no backend, every registration refused. The hot keys of the backend replaced are let go.
void setBackend(std::shared_ptr<platform::desktop::HotKeyBackend> backend);
platform::desktop::HotKeyBackend *backend();
// Lets go of every hot key and forgets them (before a relaunch, so that the new instance can grab them),
// and empties the registered set, so that registering them again here would grab anew.
void releaseAll();

} // namespace kestrova::CarbonShortkeel

#pragma once

#include "Shortkeel.h"

#include "platform/observation/Subscription.h"

#include <functional>
#include <optional>

// The key-down side of the global-shortcut library as the status items use it: actions listen by name, and
// a pressed shortcut runs the actions of every name whose stored shortcut it is. The hot keys themselves
// come through ShortcutService (the system-integration layer). Main thread only.
namespace kestrova::Shortkeel {

// The shortcut stored under `name` ("Shortkeel_" + name, JSON text, in the standard settings); nothing when
// missing, cleared (false) or unreadable. Read afresh at every call.
std::optional<Shortcut> getShortcut(const Name &name);

// Runs `action` at every key-down of the shortcut stored under `name` for as long as the subscription
// lives, and makes that shortcut's hot key live. When the last listener of a shortcut goes, its hot key is
// taken down.
[[nodiscard]] platform::Subscription onKeyDown(const Name &name, std::function<void()> action);

// Runs, in the order they were added, the key-down actions of every name whose stored shortcut equals
// `shortcut` (matching by the stored value, so names sharing a shortcut all run). Listeners added or removed
// by an action take effect from the next press.
void handleOnKeyDown(const Shortcut &shortcut);

// The same for releases: the actions added with onKeyUp.
[[nodiscard]] platform::Subscription onKeyUp(const Name &name, std::function<void()> action);
void handleOnKeyUp(const Shortcut &shortcut);

// What happened to a shortcut's keys.
enum class EventType { keyDown, keyUp };

// Runs `action` at every press and release of the shortcut stored under `name` for as long as the
// subscription lives, after the actions added with onKeyDown / onKeyUp; makes the hot key live as they do.
// This is how an event stream listens (see ShortkeelEvents.h): removeAllHandlers leaves it in place.
[[nodiscard]] platform::Subscription onEvents(const Name &name, std::function<void(EventType)> action);

// Drops every action added with onKeyDown / onKeyUp (their subscriptions then do nothing) and takes down
// the hot keys that only those actions kept live; a shortcut an event stream still listens to stays live.
void removeAllHandlers();

// While true (a shortcut being recorded), presses and releases run no action.
bool isPaused();
void setPaused(bool paused);

} // namespace kestrova::Shortkeel

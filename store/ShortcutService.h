#pragma once

#include "Shortkeel.h"

#include <memory>
#include <vector>

namespace kestrova {

// What the folder operations need of the global-shortcut library: resetting names, the process-wide set of
// registered shortcuts, and registering or unregistering one shortcut as a system hot key whose key events go
// to the library's name-based dispatchers. The system-integration layer installs the real service at
// start-up; until then the shared service does nothing, so that nothing is registered by accident. Main
// thread only.
class ShortcutService {
public:
    virtual ~ShortcutService() = default;

    // For each name in order: restores its default shortcut, or, without one, disables it and unregisters its
    // hot key; then announces the change. Never fails.
    virtual void reset(const std::vector<Shortkeel::Name> &names) = 0;

    virtual bool isRegistered(const Shortkeel::Shortcut &shortcut) const = 0;
    virtual void insertRegistered(const Shortkeel::Shortcut &shortcut) = 0;
    virtual void removeRegistered(const Shortkeel::Shortcut &shortcut) = 0;

    // A refusal by the system is silent.
    virtual void registerHotKey(const Shortkeel::Shortcut &shortcut) = 0;
    // Does nothing when no hot key of that shortcut is registered.
    virtual void unregisterHotKey(const Shortkeel::Shortcut &shortcut) = 0;

    // Registers the hot key and records it, unless it is recorded already (a refused one is recorded too).
    void makeLive(const Shortkeel::Shortcut &shortcut);
    // Unregisters the hot key and forgets it.
    void takeDown(const Shortkeel::Shortcut &shortcut);

    static ShortcutService &shared();
    // Null installs the do-nothing service again.
    static void setShared(std::shared_ptr<ShortcutService> service);
};

} // namespace kestrova

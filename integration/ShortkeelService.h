#pragma once

#include "store/ShortcutService.h"

namespace kestrova {

// The shortcut library behind the folder operations: resets through setShortcut, the registered set of
// the library, and hot keys through CarbonShortkeel (presses and releases to the name-based dispatch).
class ShortkeelService final : public ShortcutService {
public:
    void reset(const std::vector<Shortkeel::Name> &names) override;
    bool isRegistered(const Shortkeel::Shortcut &shortcut) const override;
    void insertRegistered(const Shortkeel::Shortcut &shortcut) override;
    void removeRegistered(const Shortkeel::Shortcut &shortcut) override;
    void registerHotKey(const Shortkeel::Shortcut &shortcut) override;
    void unregisterHotKey(const Shortkeel::Shortcut &shortcut) override;
};

} // namespace kestrova

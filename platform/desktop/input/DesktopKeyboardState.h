#pragma once

#include "platform/input/KeyboardState.h"

#include <Qt>

#include <array>
#include <optional>
#include <cstdint>
#include <set>
#include <vector>

namespace kestrova::platform::desktop {

// The modifier keys held right now, asked of the display server. On X11 they are read from the keys held
// down (the server's key map, as XQueryKeymap gives it) through its modifier mapping, so a key held before
// the application started counts whatever the last event said; elsewhere Qt's modifier state is asked.
// Wayland tells a client nothing before it has keyboard focus, so at launch no key counts as held there.
class DesktopKeyboardState : public KeyboardState {
public:
    quint64 modifiersHeldAtLaunch() const override;

    static quint64 flagsFromQtModifiers(Qt::KeyboardModifiers modifiers);
    // The X modifier mapping: the key codes of Shift, Lock, Control and Mod1 to Mod5, in that order.
    using ModifierMapping = std::array<std::vector<std::uint32_t>, 8>;
    // The flags of the held keys: Shift, Lock (Caps Lock), Control, Mod1 (Alt: option) and Mod4 (Super:
    // command); the other modifiers (Num Lock, AltGr) count as no key of a chord.
    static quint64 flagsFromHeldKeys(const std::set<std::uint32_t> &held, const ModifierMapping &mapping);
    // The server's modifier mapping; none where the application does not run on X11.
    static std::optional<ModifierMapping> modifierMapping();
    // The X key codes of the keys held down right now; none where the application does not run on X11
    // (Wayland tells a client only of the keys pressed while it has the keyboard).
    static std::set<std::uint32_t> keyCodesHeld();
};

} // namespace kestrova::platform::desktop

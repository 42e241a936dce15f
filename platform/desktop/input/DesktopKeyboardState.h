#pragma once

#include "platform/input/KeyboardState.h"

#include <Qt>

#include <cstdint>
#include <set>

namespace kestrova::platform::desktop {

// The modifier keys held right now, asked of the display server. X11 answers for any client; Wayland
// tells a client nothing before it has keyboard focus, so at launch no key counts as held there.
class DesktopKeyboardState : public KeyboardState {
public:
    quint64 modifiersHeldAtLaunch() const override;

    static quint64 flagsFromQtModifiers(Qt::KeyboardModifiers modifiers);
    // The X key codes of the keys held down right now; none where the application does not run on X11
    // (Wayland tells a client only of the keys pressed while it has the keyboard).
    static std::set<std::uint32_t> keyCodesHeld();
};

} // namespace kestrova::platform::desktop

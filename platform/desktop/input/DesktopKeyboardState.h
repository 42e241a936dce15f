#pragma once

#include "platform/input/KeyboardState.h"

#include <Qt>

namespace kestrova::platform::desktop {

// The modifier keys held right now, asked of the display server. X11 answers for any client; Wayland
// tells a client nothing before it has keyboard focus, so at launch no key counts as held there.
class DesktopKeyboardState : public KeyboardState {
public:
    quint64 modifiersHeldAtLaunch() const override;

    static quint64 flagsFromQtModifiers(Qt::KeyboardModifiers modifiers);
};

} // namespace kestrova::platform::desktop

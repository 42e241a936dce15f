#pragma once

#include "platform/desktop/tray/PopupPlacement.h"

#include <vector>

namespace kestrova::platform::desktop {

// The struts (_NET_WM_STRUT_PARTIAL) of the mapped top-level windows on the X display named by DISPLAY;
// none when there is no display to ask. Kept in a file of its own, so that Xlib's headers reach no other.
std::vector<PanelStrut> x11PanelStruts();

} // namespace kestrova::platform::desktop

#pragma once

namespace kestrova {

// The desktop's own "no animations" preference (GNOME's interface setting); false when it cannot be read.
// GIO lives in its own file, apart from the Qt headers.
bool desktopPrefersReducedMotion();

} // namespace kestrova

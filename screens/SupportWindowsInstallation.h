#pragma once

namespace kestrova {

// Fills the hooks through which the lower layers open the welcome, support and debug windows: the first
// launch's welcome window (with a fade), the support window of the Shift+Control+Alt launch chord, and the
// status menu's "Debug" item in debug mode; applies the logging categories chosen in the debug window.
// Keeps every other hook as it is. Main thread; call at start-up.
void installSupportWindows();

} // namespace kestrova

#pragma once

#include "ui-kit/windows/SingletonWindowController.h"

namespace kestrova {

// The support window, opened by holding Shift+Control+Alt while the application starts: a small floating
// window titled "Kestrova <version> — Debug" holding a UserDebugView. It has no close or minimise button
// and stays above other windows; Ctrl+W closes it, so it never stays in the way for good. Shown through
// SingletonWindowController::show; main thread only.
class UserDebugWindowController : public SingletonWindowController {
    Q_OBJECT
public:
    UserDebugWindowController();
};

} // namespace kestrova

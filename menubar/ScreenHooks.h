#pragma once

#include "platform/observation/Binding.h"
#include "store/Folder.h"

#include <functional>
#include <memory>

class QObject;

namespace kestrova {

// The application's windows (welcome, debug, a folder's configuration) live in a layer above the status
// items; the running application fills these hooks at start-up. An empty hook means the window does not
// exist in this build: whatever would open it says so instead of doing nothing. The Settings window is
// the kit's own hook (KvApp::hooks().showSettingsWindow). Main thread only.
struct ScreenHooks {
    // Shows the welcome window (once; a second call brings it forward).
    std::function<void()> showWelcomeWindow = {};
    // Shows the debug window (debug mode only).
    std::function<void()> showDebugWindow = {};
    // Shows the configuration window of `folder`; `didClose` runs once when the user closes it. The window
    // stays open while the returned object lives: dropping it closes the window (without calling
    // `didClose`).
    std::function<std::shared_ptr<QObject>(platform::Binding<Folder> folder, std::function<void()> didClose)>
        showFolderConfiguration = {};

    static const ScreenHooks &shared();
    static void setShared(ScreenHooks hooks);
};

} // namespace kestrova

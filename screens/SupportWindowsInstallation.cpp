#include "SupportWindowsInstallation.h"

#include "debug/DebugLoggingSettings.h"
#include "debug/DebugWindowController.h"
#include "foundation/app/KvApp.h"
#include "menubar/ScreenHooks.h"
#include "platform/defaults/UserDefaults.h"
#include "support/UserDebugWindowController.h"
#include "welcome/WelcomeWindowController.h"

namespace kestrova {

void installSupportWindows() {
    // The debug window's logging switches take effect as the application starts.
    DebugLoggingSettings::applyStoredRules(*platform::UserDefaults::standard());

    KvApp::ApplicationHooks applicationHooks = KvApp::hooks();
    applicationHooks.showSupportWindow = [] {
        SingletonWindowController::show<UserDebugWindowController>(/*fadeIn=*/false);
    };
    KvApp::setHooks(std::move(applicationHooks));

    ScreenHooks screenHooks = ScreenHooks::shared();
    screenHooks.showWelcomeWindow = [] {
        SingletonWindowController::show<WelcomeWindowController>(/*fadeIn=*/true);
    };
    screenHooks.showDebugWindow = [] {
        SingletonWindowController::show<DebugWindowController>(/*fadeIn=*/false);
    };
    ScreenHooks::setShared(std::move(screenHooks));
}

} // namespace kestrova

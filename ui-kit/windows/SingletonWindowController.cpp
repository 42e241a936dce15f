#include "SingletonWindowController.h"

#include "WindowHelpers.h"

#include <QCoreApplication>

namespace kestrova {

SingletonWindowController::SingletonWindowController(SwiftUIWindowForMenuBarApp *window)
    : m_window(window) {
    if (m_window)
        connect(m_window.get(), &SwiftUIWindowForMenuBarApp::windowWillClose, this,
                &SingletonWindowController::windowWillClose);
}

SingletonWindowController::~SingletonWindowController() = default;

SingletonWindowController::Registry &SingletonWindowController::registry() {
    static Registry controllers;
    // Windows still open when the application object goes must go before it does.
    static const bool cleanupInstalled = [] {
        qAddPostRoutine([] { registry().clear(); });
        return true;
    }();
    Q_UNUSED(cleanupInstalled);
    return controllers;
}

void SingletonWindowController::showWindow(bool fadeIn) {
    if (!m_window)
        return;
    WindowShowOptions options;
    options.fadeIn = fadeIn;
    options.makeKey = shouldActivateWindowWhenAppIsAccessory;
    // The task runs on by itself; it ends quietly when the window goes away mid-fade.
    kestrova::showWindow(m_window.get(), options);
}

void SingletonWindowController::windowWillClose() {
    auto &controllers = registry();
    const auto entry = controllers.find(m_registryKey);
    if (entry == controllers.end() || entry->second.get() != this)
        return;
    // Still inside the window's close event: the objects go once it has been handled.
    SingletonWindowController *self = entry->second.release();
    controllers.erase(entry);
    self->deleteLater();
}

} // namespace kestrova

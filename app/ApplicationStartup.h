#pragma once

#include <deque>
#include <functional>
#include <memory>

class QObject;
class QThread;

namespace kestrova {

class DecodedFolders;
class MenuBarItems;
class QuitSignals;
class ScriptingService;
class ShortcutService;
namespace platform {
class AlertPresenter;
class ApplicationRegistry;
class KeyboardState;
class PanelAppearance;
class Menu;
class OpenPanelPresenter;
class Pasteboard;
class SharingServices;
class StatusBar;
class Workspace;
namespace desktop {
class HotKeyBackend;
} // namespace desktop
} // namespace platform

// The desktop services that replace the in-memory stand-ins of the platform layer while the application
// runs; installApplicationServices sets every one.
struct ApplicationServices {
    std::shared_ptr<platform::AlertPresenter> alerts;
    std::shared_ptr<platform::OpenPanelPresenter> openPanels;
    std::shared_ptr<platform::Pasteboard> pasteboard;
    std::shared_ptr<platform::KeyboardState> keyboard;
    std::shared_ptr<platform::StatusBar> statusBar;
    std::shared_ptr<platform::Workspace> workspace;
    std::shared_ptr<platform::ApplicationRegistry> applications;
    std::shared_ptr<platform::SharingServices> sharing;
    // The shortcut library behind the folders, and where its hot keys are grabbed (X11; refused elsewhere).
    std::shared_ptr<ShortcutService> shortcuts;
    std::shared_ptr<platform::desktop::HotKeyBackend> hotKeys;
    // The desktop's light or dark look, which picks a status icon's light or dark colour.
    std::shared_ptr<platform::PanelAppearance> appearance;
};

// Installs the desktop's services and every hook the lower layers leave to the running application: the
// folder menus' hooks (application section, file actions, the in-menu key monitor, closing the menu on
// screen, shortcut dispatch) and the kit's (activation before modal alerts, letting go of hot keys before a
// relaunch), and the windows: Settings, each folder's configuration window, and the welcome, support and
// debug windows. The Debug menu stays empty on purpose (a tray application has no main menu), so nothing
// offers something that does nothing. Needs the QApplication; call before the kit is created. Returns what it
// installed.
ApplicationServices installApplicationServices();

// Closes the status-item menu that shows `menu` (a folder menu, or a folder submenu of the main item) with
// all its submenus. A menu that is not open is not on screen, and then nothing is closed.
void closeMenuOnScreen(platform::Menu &menu);

// The running application from its QApplication to its exit. Creating it names the application, turns
// SIGTERM, SIGINT and SIGHUP into a quit through the event loop and claims the application's name on the
// session bus. When another instance holds it, this one asks that one to open its settings window, says so
// on stderr and does nothing more: exec answers 0 at once, having written no settings and shown no icon.
// Otherwise it puts the scriptable actions on the bus and starts reading the settings, and decoding the
// stored folders, on another thread.
// exec runs the event loop and the rest of the start on its first turns, one step a turn, so that the bus
// is answered while the application starts: once the settings are in, it installs the services and hooks,
// creates the kit (which counts the launch and writes this run's crash marker), runs the one-time
// launch-at-login migration, installs a launcher entry for a build run from its folder and shows the status
// items. A scriptable call that comes meanwhile finishes the start first and is answered as it would be
// later. exec runs until the application quits (the steps not run by then never run), then writes the
// settings and marks the run as ended cleanly.
class ApplicationStartup {
public:
    // Call right after the QApplication is made.
    ApplicationStartup();
    ~ApplicationStartup();
    ApplicationStartup(const ApplicationStartup &) = delete;
    ApplicationStartup &operator=(const ApplicationStartup &) = delete;

    // Returns the event loop's exit status: 0 for Quit, a relaunch or a quit signal.
    int exec();

private:
    // False when another instance runs (or a relaunch waited for the old one in vain).
    bool claimSingleInstance();
    // The steps of the start after the settings are read, each for a turn of the event loop of its own.
    void queueStartSteps();
    void runNextStartStep();
    // Runs every step not run yet, now.
    void finishStarting();
    // The desktop services and hooks, with the relaunch hook of the single instance.
    void installServicesAndHooks();

    std::unique_ptr<QuitSignals> m_quitSignals;
    std::unique_ptr<ScriptingService> m_scriptingService;
    std::unique_ptr<QThread> m_settingsReader;
    // The stored folders, decoded by the settings reader; the status items take them.
    std::unique_ptr<DecodedFolders> m_storedFolders;
    // The start's turns are scheduled on it; gone once the event loop has ended.
    std::unique_ptr<QObject> m_startTurns;
    std::deque<std::function<void()>> m_startSteps;
    std::unique_ptr<MenuBarItems> m_menuBarItems;
    bool m_isRunning = false;
    bool m_areHooksInstalled = false;
};

// The application's delegate: what it does once launched and what it answers the desktop (the scriptable
// actions on the session bus) belong to the start-up; there is no launch window to close here.
using AppDelegate = ApplicationStartup;

} // namespace kestrova

#include "ApplicationStartup.h"

#include "DesktopMenuKeyMonitor.h"
#include "QuitSignals.h"
#include "SingleInstance.h"

#include "foundation/app/KvApp.h"
#include "integration/CarbonShortkeel.h"
#include "integration/ShortkeelService.h"
#include "foundation/app/KvKit.h"
#include "integration/ApplicationEntry.h"
#include "integration/Bootwick.h"
#include "integration/ScriptingService.h"
#include "menubar/AppState.h"
#include "menubar/FileActions.h"
#include "menubar/FolderMenuHooks.h"
#include "menubar/MainMenuBarItem.h"
#include "menubar/MenuBarItem.h"
#include "menubar/MenuBarItems.h"
#include "menubar/ScreenHooks.h"
#include "platform/FreedMemory.h"
#include "platform/alerts/Alert.h"
#include "platform/workspace/ApplicationRegistry.h"
#include "platform/reports/CrashReporter.h"
#include "platform/input/KeyboardState.h"
#include "platform/menus/Menu.h"
#include "platform/alerts/OpenPanel.h"
#include "platform/workspace/Pasteboard.h"
#include "platform/workspace/SharingServices.h"
#include "platform/status/StatusItem.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/workspace/FileIcons.h"
#include "platform/workspace/Workspace.h"
#include "platform/desktop/workspace/ClipboardPasteboard.h"
#include "platform/desktop/workspace/DesktopApplicationRegistry.h"
#include "platform/desktop/input/DesktopKeyboardState.h"
#include "platform/desktop/workspace/DesktopSharingServices.h"
#include "platform/desktop/workspace/DesktopWorkspace.h"
#include "platform/desktop/alerts/FileDialogOpenPanelPresenter.h"
#include "platform/desktop/hotkeys/HotKeyPortalBackend.h"
#include "platform/desktop/hotkeys/HotKeyX11Backend.h"
#include "platform/desktop/alerts/MessageBoxAlertPresenter.h"
#include "platform/desktop/tray/TrayStatusItem.h"
#include "platform/desktop/appearance/PortalPanelAppearance.h"
#include "platform/status/PanelAppearance.h"
#include "screens/folders/FolderConfigureScreen.h"
#include "screens/settings/SettingsScreen.h"
#include "screens/SupportWindowsInstallation.h"
#include "store/DecodedFolders.h"
#include "store/Folder.h"
#include "store/ShortcutService.h"
#include "store/ShortkeelHandlers.h"

#include <QApplication>
#include <QDBusConnection>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <cstdio>


namespace kestrova {
namespace {

// A tray application has no window in front of others when it is about to show a modal alert: the windows
// it has are raised, and the next window it shows (the alert) is raised and activated once it is up, so
// the alert does not open behind whatever the user was working in.
class ApplicationActivation : public QObject {
public:
    static ApplicationActivation &shared() {
        static auto *activation = new ApplicationActivation(QCoreApplication::instance());
        return *activation;
    }

    void activate() {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (!window->isVisible())
                continue;
            window->raise();
            window->activateWindow();
        }
        if (!m_isWaitingForWindow && QCoreApplication::instance()) {
            m_isWaitingForWindow = true;
            QCoreApplication::instance()->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        if (!widget->isWindow() || widget->windowType() == Qt::Popup || widget->windowType() == Qt::ToolTip)
            return false;
        m_isWaitingForWindow = false;
        QCoreApplication::instance()->removeEventFilter(this);
        // Once the window manager has it: activating a window that is not mapped yet does nothing.
        QTimer::singleShot(0, widget, [window = QPointer<QWidget>(widget)] {
            if (!window)
                return;
            window->raise();
            window->activateWindow();
        });
        return false;
    }

private:
    using QObject::QObject;
    bool m_isWaitingForWindow = false;
};

void installFolderMenuHooks() {
    FolderMenuHooks hooks = FolderMenuHooks::shared();
    hooks.addAppSection = [](platform::Binding<std::vector<Folder>> folders, KvMenu &menu) {
        MainMenuBarItem::appSection(std::move(folders), menu);
    };
    hooks.makeKeyMonitor = [](std::function<bool(const MenuKeyEvent &)> callback) {
        return std::make_unique<DesktopMenuKeyMonitor>(std::move(callback));
    };
    hooks.cancelMenuTracking = closeMenuOnScreen;
    hooks.dispatchShortcutKeyDown = &Shortkeel::handleOnKeyDown;
    FolderMenuHooks::setShared(std::move(hooks));
    // The file rows' actions: opening entries, the file submenu, Get Info, the missing-access help, Open
    // With for folders.
    installFileActions();
}

void installApplicationHooks() {
    KvApp::ApplicationHooks hooks = KvApp::hooks();
    hooks.activateApplication = [] { ApplicationActivation::shared().activate(); };
    // The new instance grabs the same global hot keys; a grab that another client holds is refused.
    hooks.willRelaunch = [] { CarbonShortkeel::releaseAll(); };
    KvApp::setHooks(std::move(hooks));
}

// The windows this build has: Settings (the kit's hook, also for a second start and the bus) and each
// folder's configuration window.
void installScreenHooks() {
    KvApp::ApplicationHooks hooks = KvApp::hooks();
    hooks.showSettingsWindow = [] { SettingsWindowController::showWindow(); };
    KvApp::setHooks(std::move(hooks));
    ScreenHooks screens = ScreenHooks::shared();
    screens.showFolderConfiguration = showFolderConfigureWindow;
    ScreenHooks::setShared(std::move(screens));
}

std::shared_ptr<platform::desktop::HotKeyBackend> hotKeyBackend() {
    if (auto x11 = platform::desktop::HotKeyX11Backend::create())
        return x11;
    // Wayland lets no client grab keys: the desktop's shortcut portal does it, where the desktop has one.
    if (QGuiApplication::platformName() == QStringLiteral("wayland")) {
        if (auto portal = platform::desktop::HotKeyPortalBackend::create(QDBusConnection::sessionBus()))
            return portal;
    }
    return std::make_shared<platform::desktop::NoHotKeyBackend>();
}

} // namespace

ApplicationServices installApplicationServices() {
    namespace desktop = platform::desktop;
    ApplicationServices services{
        .alerts = std::make_shared<desktop::MessageBoxAlertPresenter>(),
        .openPanels = std::make_shared<desktop::FileDialogOpenPanelPresenter>(),
        .pasteboard = std::make_shared<desktop::ClipboardPasteboard>(),
        .keyboard = std::make_shared<desktop::DesktopKeyboardState>(),
        .statusBar = std::make_shared<desktop::TrayStatusBar>(),
        .workspace = std::make_shared<desktop::DesktopWorkspace>(),
        .applications = std::make_shared<desktop::DesktopApplicationRegistry>(),
        .sharing = std::make_shared<desktop::DesktopSharingServices>(),
        .shortcuts = std::make_shared<ShortkeelService>(),
        .hotKeys = hotKeyBackend(),
        .appearance = desktop::PortalPanelAppearance::create(QDBusConnection::sessionBus()),
    };
    // Before the first status item: each follows the look it finds installed.
    platform::PanelAppearance::setShared(services.appearance);
    platform::AlertPresenter::setShared(services.alerts);
    platform::OpenPanelPresenter::setShared(services.openPanels);
    platform::Pasteboard::setGeneral(services.pasteboard);
    platform::KeyboardState::setShared(services.keyboard);
    platform::StatusBar::setShared(services.statusBar);
    platform::Workspace::setShared(services.workspace);
    platform::ApplicationRegistry::setShared(services.applications);
    platform::SharingServices::setShared(services.sharing);
    CarbonShortkeel::setBackend(services.hotKeys);
    ShortcutService::setShared(services.shortcuts);
    installFolderMenuHooks();
    installApplicationHooks();
    installScreenHooks();
    // The welcome window of the first launch, the support window of the launch chord, the debug window.
    installSupportWindows();
    return services;
}

void closeMenuOnScreen(platform::Menu &menu) {
    if (!menu.isOpen())
        return;
    // Only one menu chain is open at a time (a popup takes the pointer and keyboard): the one with `menu`.
    for (const auto &statusItem : statusItemRegistry()) {
        if (statusItem->isMenuOpen())
            statusItem->closeMenu();
    }
}

namespace {

// After the status items are gone: the settings on disk, then no crash marker.
void finishRunCleanly() {
    if (!platform::UserDefaults::standard()->synchronize())
        qWarning("Kestrova: the settings could not be written");
    platform::CrashReporter::shared().markCleanExit();
}

} // namespace

ApplicationStartup::ApplicationStartup() {
    QApplication::setApplicationName(QStringLiteral("Kestrova"));
    QApplication::setOrganizationDomain(QStringLiteral("kestrova.org"));
    QApplication::setDesktopFileName(QString::fromLatin1(platform::UserDefaults::kApplicationIdentifier));
    // A tray application has no main window: closing a settings window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    // Before the crash marker is written: from then on a quit signal ends the run cleanly.
    m_quitSignals = std::make_unique<QuitSignals>();
    // A relaunched instance writes to the output of the one that started it, which may be gone (a closed
    // terminal, a pipe nobody reads): a write there must fail, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    // Before anything reads or writes the settings: a second instance must leave them to the first.
    m_isRunning = claimSingleInstance();
    if (!m_isRunning)
        return;
    // A relaunch asked for before the start has installed its hooks finishes the start first: the new
    // instance must find the launch counted and this one marked as relaunching.
    KvApp::ApplicationHooks hooks = KvApp::hooks();
    hooks.willRelaunch = [this] {
        finishStarting();
        const auto installed = KvApp::hooks().willRelaunch;
        if (m_areHooksInstalled && installed)
            installed();
    };
    KvApp::setHooks(std::move(hooks));
    // The name is on the bus, and its callers wait for the event loop: the settings (a thousand folders
    // take longer than a frame to read and to decode) are read on another thread meanwhile. Whatever asks
    // for them before they are in waits for that read instead of starting another.
    m_startTurns = std::make_unique<QObject>();
    m_settingsReader.reset(QThread::create([this] {
        platform::UserDefaults::standard();
        m_storedFolders = std::make_unique<DecodedFolders>(DecodedFolders::read());
    }));
    QObject::connect(m_settingsReader.get(), &QThread::finished, m_startTurns.get(),
                     [this] { runNextStartStep(); });
    m_settingsReader->start();
}

void ApplicationStartup::installServicesAndHooks() {
    // Read on another thread: changes made by other programs are watched for from the main one.
    platform::UserDefaults::standard()->watchForChanges();
    installApplicationServices();
    // The relaunched instance waits for this one to give up the application's name.
    KvApp::ApplicationHooks hooks = KvApp::hooks();
    hooks.willRelaunch = [this, willRelaunch = std::move(hooks.willRelaunch)] {
        if (willRelaunch)
            willRelaunch();
        if (m_scriptingService)
            m_scriptingService->beginRelaunch();
        SingleInstance::markRelaunch();
    };
    KvApp::setHooks(std::move(hooks));
    m_areHooksInstalled = true;
}

void ApplicationStartup::queueStartSteps() {
    m_startSteps = {
        [this] { installServicesAndHooks(); },
        // The kit before any object of the application: it counts the launch, registers its defaults and
        // reads the keys held at launch. The desktop services go in first so that it reads the real keyboard
        // (and keeps no service that is about to be replaced).
        [] { KvKit::shared(); },
        [] {
            Bootwick::migrateIfNeeded();
            ApplicationEntry::installIfNeeded();
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                             QCoreApplication::instance(),
                             [] { platform::UserDefaults::standard()->synchronize(); });
            // The hot keys go while the application still has its display and its bus: the X grabs are
            // made on the application's own connection, freed with it, and the portal's session is closed
            // by a call that waits for the desktop's answer.
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                             QCoreApplication::instance(), [] { CarbonShortkeel::setBackend(nullptr); });
        },
        [this] {
            // The launch state first: its launch steps look for the status items a turn later.
            AppState::shared();
            m_menuBarItems = std::make_unique<MenuBarItems>(std::move(*m_storedFolders));
            m_storedFolders.reset();
        },
        // Once the status items are all made, the icon theme is read and the folder and document kinds are
        // looked up in it: the third of the first opening's extra cost that is cheap to keep (a menu drawn
        // off screen saved the rest but kept the fonts, the collation and every image reader loaded, 8 MB,
        // for good). A turn each: on X each look-up searches the theme's folders for a while. Then the memory
        // that starting freed goes back to the system.
        [] { platform::FileIcons::folderIcon(); },
        [] {
            platform::FileIcons::iconForMimeType(QStringLiteral("text/plain"));
            platform::giveBackFreedMemory();
        },
    };
}

void ApplicationStartup::runNextStartStep() {
    if (m_startSteps.empty())
        return;
    const auto step = std::move(m_startSteps.front());
    m_startSteps.pop_front();
    step();
    if (m_startSteps.empty() || !m_startTurns)
        return;
    // What comes after the status items waits until they are all made: the tray is whole sooner.
    if (m_menuBarItems && m_menuBarItems->isMakingItems())
        QObject::connect(
            m_menuBarItems.get(), &MenuBarItems::itemsMade, m_startTurns.get(),
            [this] { runNextStartStep(); },
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    else
        QTimer::singleShot(0, m_startTurns.get(), [this] { runNextStartStep(); });
}

void ApplicationStartup::finishStarting() {
    if (m_settingsReader)
        m_settingsReader->wait();
    while (!m_startSteps.empty())
        runNextStartStep();
}

ApplicationStartup::~ApplicationStartup() {
    // A quit before the settings were in: the read is not cut off half-way.
    if (m_settingsReader)
        m_settingsReader->wait();
}

bool ApplicationStartup::claimSingleInstance() {
    const bool isRelaunch = SingleInstance::takeRelaunchMark();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qWarning(
            "Kestrova: no session bus; the scriptable actions are off and a second start is not noticed");
        return true;
    }
    m_scriptingService = std::make_unique<ScriptingService>(ScriptingService::Environment{
        .relaunch = [] { KvApp::startRelaunch(/*exitImmediately=*/true, /*showSettings=*/false); },
        .showSettingsWindow =
            [] {
                if (!KvApp::hooks().showSettingsWindow)
                    return false;
                KvApp::showSettingsWindowAsync();
                return true;
            },
        .finishStarting = [this] { finishStarting(); },
    });
    // The object first, so that whoever sees the name can call it.
    m_scriptingService->registerObject(bus);
    switch (SingleInstance::claim(bus, QString::fromLatin1(ScriptingService::kServiceName), isRelaunch)) {
    case SingleInstance::Outcome::primary:
        return true;
    case SingleInstance::Outcome::anotherIsRunning:
        std::fprintf(stderr, "%s\n", qPrintable(SingleInstance::askRunningInstanceToShowSettings(bus)));
        break;
    case SingleInstance::Outcome::previousDidNotEnd:
        std::fprintf(stderr, "Kestrova: the previous instance did not end; it is left running\n");
        break;
    }
    bus.unregisterObject(QString::fromLatin1(ScriptingService::kObjectPath));
    m_scriptingService.reset();
    return false;
}

int ApplicationStartup::exec() {
    if (!m_isRunning)
        return 0;
    int status = 0;
    {
        queueStartSteps();
        status = QApplication::exec();
        // A quit during the start: the steps not run yet never run.
        m_startTurns.reset();
        m_startSteps.clear();
        m_menuBarItems.reset();
    }
    if (m_settingsReader)
        m_settingsReader->wait();
    finishRunCleanly();
    return status;
}

} // namespace kestrova

#include "foundation/KvKit.h"
#include "menubar/AppState.h"
#include "menubar/FileActions.h"
#include "menubar/FolderMenuHooks.h"
#include "menubar/MainMenuBarItem.h"
#include "menubar/MenuBarItems.h"
#include "platform/Alert.h"
#include "platform/ApplicationRegistry.h"
#include "platform/KeyboardState.h"
#include "platform/OpenPanel.h"
#include "platform/Pasteboard.h"
#include "platform/SharingServices.h"
#include "platform/StatusItem.h"
#include "platform/Workspace.h"
#include "platform/UserDefaults.h"
#include "platform/desktop/ClipboardPasteboard.h"
#include "platform/desktop/DesktopApplicationRegistry.h"
#include "platform/desktop/DesktopKeyboardState.h"
#include "platform/desktop/DesktopSharingServices.h"
#include "platform/desktop/DesktopWorkspace.h"
#include "platform/desktop/FileDialogOpenPanelPresenter.h"
#include "platform/desktop/MessageBoxAlertPresenter.h"
#include "platform/desktop/TrayStatusItem.h"
#include "store/ShortkeelHandlers.h"

#include <QApplication>

#include <memory>

using namespace kestrova;

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrova"));
    QApplication::setOrganizationDomain(QStringLiteral("kestrova.org"));
    QApplication::setDesktopFileName(QString::fromLatin1(platform::UserDefaults::kApplicationIdentifier));
    // A tray application has no main window: closing a settings window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    platform::AlertPresenter::setShared(std::make_shared<platform::desktop::MessageBoxAlertPresenter>());
    platform::OpenPanelPresenter::setShared(
        std::make_shared<platform::desktop::FileDialogOpenPanelPresenter>());
    platform::Pasteboard::setGeneral(std::make_shared<platform::desktop::ClipboardPasteboard>());
    platform::KeyboardState::setShared(std::make_shared<platform::desktop::DesktopKeyboardState>());
    platform::StatusBar::setShared(std::make_shared<platform::desktop::TrayStatusBar>());
    platform::Workspace::setShared(std::make_shared<platform::desktop::DesktopWorkspace>());
    platform::ApplicationRegistry::setShared(
        std::make_shared<platform::desktop::DesktopApplicationRegistry>());
    platform::SharingServices::setShared(std::make_shared<platform::desktop::DesktopSharingServices>());

    // The kit before any object of the application: it counts the launch, registers its defaults and reads
    // the keys held at launch. The desktop services go in first so that it reads the real keyboard (and keeps
    // no service that is about to be replaced).
    KvKit::shared();

    FolderMenuHooks hooks;
    hooks.addAppSection = [](platform::Binding<std::vector<Folder>> folders, KvMenu &menu) {
        MainMenuBarItem::appSection(std::move(folders), menu);
    };
    hooks.dispatchShortcutKeyDown = &Shortkeel::handleOnKeyDown;
    FolderMenuHooks::setShared(std::move(hooks));
    installFileActions();

    // The launch state first: its launch steps look for the status items a turn later.
    AppState::shared();
    MenuBarItems menuBarItems;
    return QApplication::exec();
}

#include "app/ApplicationStartup.h"

#include "AggregateFields.h"

#include "app/DesktopMenuKeyMonitor.h"
#include "foundation/json/JsonText.h"
#include "foundation/app/KvApp.h"
#include "integration/CarbonShortkeel.h"
#include "integration/ShortkeelKeys.h"
#include "integration/ShortkeelStorage.h"
#include "integration/tests/FakeHotKeyBackend.h"
#include "menubar/FolderController.h"
#include "menubar/FolderMenuHooks.h"
#include "menubar/MainMenuBarItem.h"
#include "menubar/MenuBarItems.h"
#include "menubar/ScreenHooks.h"
#include "platform/alerts/Alert.h"
#include "platform/workspace/ApplicationRegistry.h"
#include "platform/input/KeyboardState.h"
#include "platform/menus/Menu.h"
#include "platform/alerts/OpenPanel.h"
#include "platform/workspace/Pasteboard.h"
#include "platform/workspace/SharingServices.h"
#include "platform/status/StatusItem.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/workspace/Workspace.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/desktop/tray/TrayStatusItem.h"
#include "platform/testing/EventLoop.h"
#include "store/BookmarkData.h"
#include "store/Defaults.h"
#include "store/DefaultsKeys.h"
#include "store/ShortcutService.h"
#include "ui-kit/menus/KvMenu.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

using namespace kestrova;
using kestrova::testing::forEachField;
using kestrova::testing::processEventsUntil;

namespace {

// Installs what the application installs, and puts the stand-ins back afterwards so that other tests of
// this executable see the process as it was.
class InstalledServices {
public:
    InstalledServices()
        : m_folderMenuHooks(FolderMenuHooks::shared())
        , m_applicationHooks(KvApp::hooks())
        , m_screenHooks(ScreenHooks::shared()) {
        FolderMenuHooks::setShared({});
        KvApp::setHooks({});
        services = installApplicationServices();
    }
    ~InstalledServices() {
        platform::AlertPresenter::setShared(nullptr);
        platform::OpenPanelPresenter::setShared(nullptr);
        platform::Pasteboard::setGeneral(nullptr);
        platform::KeyboardState::setShared(nullptr);
        platform::StatusBar::setShared(nullptr);
        platform::Workspace::setShared(nullptr);
        platform::ApplicationRegistry::setShared(nullptr);
        platform::SharingServices::setShared(nullptr);
        ShortcutService::setShared(nullptr);
        CarbonShortkeel::setBackend(nullptr);
        FolderMenuHooks::setShared(m_folderMenuHooks);
        KvApp::setHooks(m_applicationHooks);
        ScreenHooks::setShared(m_screenHooks);
    }

    ApplicationServices services;

private:
    FolderMenuHooks m_folderMenuHooks;
    KvApp::ApplicationHooks m_applicationHooks;
    ScreenHooks m_screenHooks;
};

} // namespace

TEST(ApplicationStartupTest, InstallsEveryServiceAndEveryHookTheBuildHas) {
    InstalledServices installed;
    const ApplicationServices &services = installed.services;

    int index = 0;
    forEachField(services,
                 [&](const auto &service) { EXPECT_NE(service, nullptr) << "service " << index++; });
    EXPECT_EQ(&platform::AlertPresenter::shared(), services.alerts.get());
    EXPECT_EQ(&platform::OpenPanelPresenter::shared(), services.openPanels.get());
    EXPECT_EQ(&platform::Pasteboard::general(), services.pasteboard.get());
    EXPECT_EQ(&platform::KeyboardState::shared(), services.keyboard.get());
    EXPECT_EQ(&platform::StatusBar::shared(), services.statusBar.get());
    EXPECT_EQ(&platform::Workspace::shared(), services.workspace.get());
    EXPECT_EQ(&platform::ApplicationRegistry::shared(), services.applications.get());
    EXPECT_EQ(&platform::SharingServices::shared(), services.sharing.get());
    EXPECT_EQ(&ShortcutService::shared(), services.shortcuts.get());
    EXPECT_EQ(CarbonShortkeel::backend(), services.hotKeys.get());

    // Every hook of the folder menus, a field added later included.
    index = 0;
    forEachField(FolderMenuHooks::shared(), [&](const auto &hook) {
        EXPECT_TRUE(static_cast<bool>(hook)) << "folder menu hook " << index++;
    });
    index = 0;
    const KvApp::RelaunchOperations relaunch = KvApp::relaunchOperations();
    forEachField(relaunch, [&](const auto &operation) {
        EXPECT_TRUE(static_cast<bool>(operation)) << "relaunch operation " << index++;
    });

    // The kit's hooks, but for the windows and the main menu that this build does not have: the menus
    // leave those out rather than offer an item that does nothing. Filling one fails here too, so that the
    // list stays true.
    const KvApp::ApplicationHooks application = KvApp::hooks();
    const std::set<const void *> notInThisBuild{&application.addDebugMenu};
    index = 0;
    forEachField(application, [&](const auto &hook) {
        EXPECT_EQ(static_cast<bool>(hook), !notInThisBuild.contains(&hook)) << "application hook " << index++;
    });
    // The same for the screens: every window is built.
    const ScreenHooks &screens = ScreenHooks::shared();
    const std::set<const void *> screensNotInThisBuild{};
    index = 0;
    forEachField(screens, [&](const auto &hook) {
        EXPECT_EQ(static_cast<bool>(hook), !screensNotInThisBuild.contains(&hook))
            << "screen hook " << index++;
    });
}

TEST(ApplicationStartupTest, KeyEventsReachTheFolderMenusWithTheirKeyCodeAndModifiers) {
    // The X key code of K is 45; its shortcuts store it as 40.
    const QKeyEvent press(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier, 45, 0, 0);
    const MenuKeyEvent event = DesktopMenuKeyMonitor::menuKeyEvent(press);
    EXPECT_EQ(event.type, MenuKeyEvent::Type::keyDown);
    EXPECT_EQ(event.keyCode, Shortkeel::Key::k.rawValue);
    EXPECT_EQ(event.modifiers, platform::Modifier::control | platform::Modifier::shift);
    const QKeyEvent release(QEvent::KeyRelease, Qt::Key_K, Qt::NoModifier, 45, 0, 0);
    EXPECT_EQ(DesktopMenuKeyMonitor::menuKeyEvent(release).type, MenuKeyEvent::Type::keyUp);
    // A key no shortcut can name (a synthesised event has no key code) matches no stored one.
    const QKeyEvent unknown(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier, 0, 0, 0);
    EXPECT_LT(DesktopMenuKeyMonitor::menuKeyEvent(unknown).keyCode, 0);
}

// A hot key pressed anywhere: the desktop reports it, and the main item's menu opens on screen.
TEST(ApplicationStartupTest, TheToggleMenuHotKeyOpensTheMainItemsMenu) {
    InstalledServices installed;
    auto hotKeys = std::make_shared<kestrova::testing::FakeHotKeyBackend>();
    CarbonShortkeel::setBackend(hotKeys);
    const Shortkeel::Shortcut shortcut{Shortkeel::Key::k.rawValue,
                                       Shortkeel::controlKey | Shortkeel::optionKey};
    Shortkeel::setShortcut(shortcut, Shortkeel::Name::toggleMenu());
    // The main item holds the shortcut when it shows the folders.
    QTemporaryDir root;
    const Folder folder(QUuid::createUuid(),
                        SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(root.path()))));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    Defaults::set(Defaults::Keys::showFoldersInMenu(), true);
    {
        MenuBarItems items;
        ASSERT_NE(items.mainItem(), nullptr);
        auto *tray = dynamic_cast<platform::desktop::TrayStatusItem *>(
            items.mainItem()->coordinator().statusItem().get());
        ASSERT_NE(tray, nullptr);
        tray->presenter().setModifierSource([] { return Qt::KeyboardModifiers(); });
        using Chord = platform::desktop::HotKeyChord;
        const Chord chord{45, Chord::controlMask | Chord::altMask};
        ASSERT_EQ(hotKeys->grabbed.size(), 1u);
        hotKeys->press(chord);
        hotKeys->press(chord, false);
        EXPECT_TRUE(processEventsUntil(
            [&] { return tray->presenter().openMenu() && tray->presenter().openMenu()->isVisible(); }));
        tray->presenter().openMenu()->close();
    }
    Defaults::Keys::folders().reset();
    Defaults::Keys::showFoldersInMenu().reset();
    Shortkeel::setShortcut(std::nullopt, Shortkeel::Name::toggleMenu());
    platform::UserDefaults::standard()->removeObject(Shortkeel::Name::toggleMenu().userDefaultsKey());
}

// The road of a folder shortcut pressed inside the main item's menu: the real tray item and presenter,
// the folder submenu opened with the keyboard, a key press on it, and the hooks of the application.
TEST(ApplicationStartupTest, AFolderShortcutClosesTheFolderSubmenuOnScreenInTheMainItem) {
    InstalledServices installed;
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("Alpha")));
    Folder folder(QUuid::createUuid(), SandboxURLBookmark(BookmarkData::create(
                                           QUrl::fromLocalFile(root.filePath(QStringLiteral("Alpha"))))));
    const Shortkeel::Shortcut shortcut{Shortkeel::Key::k.rawValue, Shortkeel::controlKey};
    platform::UserDefaults::standard()->setObject(
        platform::PropertyListValue(QString::fromStdString(JsonText::encode(shortcut.toJson()))),
        folder.shortcutName().userDefaultsKey());
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    Defaults::set(Defaults::Keys::showFoldersInMenu(), true);
    {
        MenuBarItems items;
        ASSERT_NE(items.mainItem(), nullptr);
        MainMenuBarItem &main = *items.mainItem();
        auto *tray = dynamic_cast<platform::desktop::TrayStatusItem *>(main.coordinator().statusItem().get());
        ASSERT_NE(tray, nullptr);
        auto &presenter = tray->presenter();
        presenter.setModifierSource([] { return Qt::KeyboardModifiers(); });
        tray->click({});
        ASSERT_TRUE(
            processEventsUntil([&] { return presenter.openMenu() && presenter.openMenu()->isVisible(); }));

        QMenu *root = presenter.openMenu();
        QAction *folderRow = nullptr;
        for (QAction *action : root->actions())
            if (action->text() == folder.title())
                folderRow = action;
        ASSERT_NE(folderRow, nullptr);
        root->setActiveAction(folderRow);
        QTest::keyClick(root, Qt::Key_Right);
        ASSERT_TRUE(processEventsUntil([&] { return folderRow->menu() && folderRow->menu()->isVisible(); }));
        // The open-state handling starts the controller's key monitor a few turns later.
        ASSERT_TRUE(processEventsUntil([&] {
            const auto &controller = main.currentFolderController();
            const auto *monitor =
                controller ? dynamic_cast<DesktopMenuKeyMonitor *>(controller->keyMonitor()) : nullptr;
            return monitor && monitor->isRunning();
        }));
        const std::shared_ptr<platform::Menu> submenu = main.coordinator().menu()->items().at(1)->submenu();
        ASSERT_TRUE(submenu && submenu->isOpen());

        // A key that is no folder's shortcut goes on to the menu, which stays open.
        QTest::keyClick(folderRow->menu(), Qt::Key_Down);
        QCoreApplication::processEvents();
        EXPECT_TRUE(folderRow->menu()->isVisible());

        // Control+K as the keyboard sends it: with the X key code of K.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier, 45, 0, 0);
        QCoreApplication::sendEvent(folderRow->menu(), &press);
        EXPECT_TRUE(processEventsUntil([&] { return !presenter.isOpen(); }));
        EXPECT_TRUE(
            processEventsUntil([&] { return !submenu->isOpen() && !main.coordinator().menu()->isOpen(); }));
    }
    Defaults::Keys::folders().reset();
    Defaults::Keys::showFoldersInMenu().reset();
    platform::UserDefaults::standard()->removeObject(folder.shortcutName().userDefaultsKey());
}

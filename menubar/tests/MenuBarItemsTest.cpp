#include "menubar/FolderChangeWatch.h"
#include "menubar/FolderController.h"
#include "menubar/FolderMenuBarItem.h"
#include "menubar/MainMenuBarItem.h"
#include "menubar/MenuBarItems.h"
#include "menubar/ScreenHooks.h"

#include "foundation/json/JsonText.h"
#include "platform/defaults/UserDefaults.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeStatusBar.h"
#include "platform/testing/ImageInk.h"
#include "store/BookmarkData.h"
#include "store/DefaultsKeys.h"
#include "store/ShortkeelHandlers.h"
#include "store/testing/FakeShortcutService.h"
#include "ui-kit/menus/KvMenu.h"

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::platform::Modifier;
using kestrova::platform::StatusItemClick;
using kestrova::testing::inkBounds;
using kestrova::testing::processEventsUntil;
using kestrova::testing::ScopedFakeStatusBar;

namespace {

class MenuBarItemsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.isValid()); }
    void TearDown() override {
        Defaults::Keys::folders().reset();
        Defaults::Keys::showFoldersInMenu().reset();
    }

    Folder makeFolder(const QString &name, bool isVisible = true) {
        QDir(m_root.path()).mkpath(name);
        Folder folder(QUuid::createUuid(),
                      SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(m_root.filePath(name)))));
        folder.isVisible = isVisible;
        return folder;
    }

    static std::vector<QUuid> ids(const std::vector<Folder> &folders) {
        std::vector<QUuid> result;
        for (const Folder &folder : folders)
            result.push_back(folder.id);
        return result;
    }

    // Stores `folders` and waits until the items follow.
    static void store(MenuBarItems &items, const std::vector<Folder> &folders) {
        Defaults::set(Defaults::Keys::folders(), folders);
        const auto wanted = ids(MenuBarItems::visibleFolders(folders));
        EXPECT_TRUE(processEventsUntil([&] {
            return items.folderItemIds() == wanted && (wanted.empty() == (items.mainItem() != nullptr));
        }));
    }

    ScopedFakeStatusBar m_bar;
    QTemporaryDir m_root;
};

std::size_t liveStatusItems(ScopedFakeStatusBar &bar) {
    return std::count_if(bar.statusBar().created.begin(), bar.statusBar().created.end(),
                         [](const auto &weak) { return !weak.expired(); });
}

} // namespace

TEST_F(MenuBarItemsTest, FolderItemsFollowTheStoredList) {
    MenuBarItems items;
    // Nothing stored: the main item alone.
    ASSERT_NE(items.mainItem(), nullptr);
    EXPECT_EQ(liveStatusItems(m_bar), 1u);

    Folder a = makeFolder(QStringLiteral("a"));
    Folder b = makeFolder(QStringLiteral("b"), false);
    Folder c = makeFolder(QStringLiteral("c"));
    store(items, {a, b, c});
    EXPECT_EQ(items.mainItem(), nullptr);
    EXPECT_EQ(items.folderItemIds(), (std::vector<QUuid>{a.id, c.id}));
    EXPECT_EQ(liveStatusItems(m_bar), 2u);
    auto *itemA = items.folderItem(a.id);
    auto *itemC = items.folderItem(c.id);
    ASSERT_NE(itemA, nullptr);
    EXPECT_EQ(itemA->coordinator().statusItem()->autosaveName(), a.id.toString(QUuid::WithoutBraces));
    const std::size_t createdBefore = m_bar.statusBar().created.size();

    // Reordering keeps every item; showing b adds one, and only one.
    b.isVisible = true;
    store(items, {c, b, a});
    EXPECT_EQ(items.folderItemIds(), (std::vector<QUuid>{c.id, b.id, a.id}));
    EXPECT_EQ(items.folderItem(a.id), itemA);
    EXPECT_EQ(items.folderItem(c.id), itemC);
    EXPECT_EQ(m_bar.statusBar().created.size(), createdBefore + 1);

    // Editing one folder redraws that item only.
    const QString titleOfC = itemC->coordinator().statusItem()->title();
    a.customTitle = QStringLiteral("Renamed");
    a.menuBarItemStyle = Folder::MenuBarItemStyle::title;
    store(items, {c, b, a});
    EXPECT_TRUE(processEventsUntil(
        [&] { return itemA->coordinator().statusItem()->title() == QStringLiteral("Renamed"); }));
    // Shown by its title alone, drawn into the icon: never an empty slot.
    EXPECT_FALSE(inkBounds(itemA->coordinator().statusItem()->image().render(22)).isEmpty());
    EXPECT_EQ(itemC->coordinator().statusItem()->title(), titleOfC);
    EXPECT_EQ(m_bar.statusBar().created.size(), createdBefore + 1);

    // Removing and hiding take their items off the tray; hiding the last brings back the main item.
    store(items, {c, a});
    EXPECT_EQ(liveStatusItems(m_bar), 2u);
    c.isVisible = false;
    a.isVisible = false;
    store(items, {c, a});
    ASSERT_NE(items.mainItem(), nullptr);
    EXPECT_FALSE(items.mainItem()->showFoldersInMenu());
    EXPECT_EQ(liveStatusItems(m_bar), 1u);
}

// Many folders: their items come a slice at a time, and a change stored before the last one is made is
// what the tray ends with: every visible folder once, in stored order, each folder watched on disk once.
TEST_F(MenuBarItemsTest, ManyFoldersFollowAChangeStoredWhileTheirItemsAreMade) {
    std::vector<Folder> folders;
    for (int index = 0; index < 400; ++index)
        folders.push_back(makeFolder(QStringLiteral("folder %1").arg(index)));
    Defaults::set(Defaults::Keys::folders(), folders);
    MenuBarItems items;
    ASSERT_FALSE(items.folderItemIds().empty()) << "the first slice is made at once";

    // Every third folder hidden, two folders of the same place, the last one moved to the front, and one
    // record listed twice (a settings file edited by hand): it gets one item, where it is first listed.
    std::vector<Folder> changed = folders;
    for (std::size_t index = 0; index < changed.size(); index += 3)
        changed[index].isVisible = false;
    Folder twin = makeFolder(QStringLiteral("folder 1"));
    changed.push_back(twin);
    std::rotate(changed.rbegin(), changed.rbegin() + 2, changed.rend());
    const std::vector<Folder> visible = MenuBarItems::visibleFolders(changed);
    changed.push_back(visible[7]);
    Defaults::set(Defaults::Keys::folders(), changed);
    EXPECT_TRUE(processEventsUntil([&] { return items.folderItemIds().size() >= visible.size(); }));
    EXPECT_EQ(items.folderItemIds(), ids(visible));
    EXPECT_EQ(liveStatusItems(m_bar), visible.size());
    for (const Folder &folder : visible)
        EXPECT_NE(items.folderItem(folder.id), nullptr);
    EXPECT_EQ(FolderChangeWatch::watchedCount(), int(visible.size()) - 1) << "the twins share one watch";
}

TEST_F(MenuBarItemsTest, EveryStyleShowsTheFolderAndTheTrayNamesIt) {
    MenuBarItems items;
    Folder icon = makeFolder(QStringLiteral("Downloads"));
    Folder title = makeFolder(QStringLiteral("Work Notes"));
    title.menuBarItemStyle = Folder::MenuBarItemStyle::title;
    Folder other = makeFolder(QStringLiteral("Alpha"));
    other.menuBarItemStyle = Folder::MenuBarItemStyle::title;
    Folder both = makeFolder(QStringLiteral("Projects"));
    both.menuBarItemStyle = Folder::MenuBarItemStyle::iconAndTitle;
    store(items, {icon, title, other, both});
    std::map<QString, QImage> drawn;
    for (const Folder &folder : {icon, title, other, both}) {
        const auto statusItem = items.folderItem(folder.id)->coordinator().statusItem();
        const QString name = folder.title();
        EXPECT_EQ(statusItem->title(), name);
        EXPECT_TRUE(statusItem->isVisible());
        drawn[name] = statusItem->image().render(22);
        EXPECT_FALSE(inkBounds(drawn[name]).isEmpty()) << qPrintable(name);
    }
    EXPECT_NE(drawn[QStringLiteral("Work Notes")], drawn[QStringLiteral("Alpha")]);
    // Same symbol, but with the title's badge.
    EXPECT_NE(drawn[QStringLiteral("Downloads")], drawn[QStringLiteral("Projects")]);

    // A new title is drawn at once.
    other.customTitle = QStringLiteral("Zulu");
    store(items, {icon, title, other, both});
    const auto renamed = items.folderItem(other.id)->coordinator().statusItem();
    EXPECT_TRUE(processEventsUntil([&] { return renamed->title() == QStringLiteral("Zulu"); }));
    EXPECT_NE(renamed->image().render(22), drawn[QStringLiteral("Alpha")]);
}

TEST_F(MenuBarItemsTest, FoldersInOneMenuShowTheMainItemWithFolderSubmenus) {
    const Folder a = makeFolder(QStringLiteral("Alpha"));
    const Folder hidden = makeFolder(QStringLiteral("Hidden"), false);
    const Folder b = makeFolder(QStringLiteral("Beta"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{a, hidden, b});
    MenuBarItems items;
    EXPECT_TRUE(processEventsUntil([&] { return liveStatusItems(m_bar) == 2u; }));

    Defaults::set(Defaults::Keys::showFoldersInMenu(), true);
    ASSERT_TRUE(processEventsUntil([&] { return items.mainItem() != nullptr; }));
    EXPECT_TRUE(items.folderItemIds().empty());
    EXPECT_EQ(liveStatusItems(m_bar), 1u);
    EXPECT_TRUE(items.mainItem()->showFoldersInMenu());

    KvMenu menu;
    items.mainItem()->buildMenu(menu, /*isFirstLaunch=*/false);
    std::vector<QString> titles;
    for (const auto &item : menu.items())
        titles.push_back(item->isSeparator() ? QStringLiteral("-") : item->title());
    // A leading separator, the two visible folders, a separator and the title-less More item.
    EXPECT_EQ(titles, (std::vector<QString>{QStringLiteral("-"), QStringLiteral("Alpha"),
                                            QStringLiteral("Beta"), QStringLiteral("-"), QString()}));
    EXPECT_NE(menu.items().at(1)->submenu(), nullptr);

    Defaults::set(Defaults::Keys::showFoldersInMenu(), false);
    ASSERT_TRUE(processEventsUntil([&] { return items.mainItem() == nullptr; }));
    // The folders' items come back in slices of the event loop.
    EXPECT_TRUE(processEventsUntil([&] { return liveStatusItems(m_bar) == 2u; }));
    EXPECT_EQ(items.folderItemIds(), (std::vector<QUuid>{a.id, b.id}));
}

TEST_F(MenuBarItemsTest, ClicksOpenTheMenuUnlessAskingForTheFolder) {
    using Button = StatusItemClick::Button;
    EXPECT_FALSE(FolderMenuBarItem::opensFolderInstead({}));
    EXPECT_FALSE(FolderMenuBarItem::opensFolderInstead({.modifiers = Modifier::command}));
    EXPECT_FALSE(FolderMenuBarItem::opensFolderInstead({.modifiers = Modifier::control | Modifier::option}));
    EXPECT_TRUE(FolderMenuBarItem::opensFolderInstead({.modifiers = Modifier::option}));
    EXPECT_TRUE(FolderMenuBarItem::opensFolderInstead({.modifiers = Modifier::control}));
    EXPECT_TRUE(FolderMenuBarItem::opensFolderInstead({.button = Button::right}));

    const Folder folder = makeFolder(QStringLiteral("Docs"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;
    auto statusItem = m_bar.item(0);
    statusItem->click();
    ASSERT_TRUE(processEventsUntil([&] { return statusItem->isMenuOpen(); }));
    EXPECT_TRUE(items.folderItem(folder.id)->folderController()->isMenuOpen());
    statusItem->closeMenu();
    ASSERT_TRUE(
        processEventsUntil([&] { return !items.folderItem(folder.id)->folderController()->isMenuOpen(); }));
    // Setting the controller's flag (a folder shortcut) opens the menu as well.
    items.folderItem(folder.id)->folderController()->setMenuOpen(true);
    EXPECT_TRUE(processEventsUntil([&] { return statusItem->isMenuOpen(); }));
    statusItem->closeMenu();
}

TEST_F(MenuBarItemsTest, AddingAFolderAppendsANewVisibleFolder) {
    const Folder existing = makeFolder(QStringLiteral("First"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{existing});
    QDir(m_root.path()).mkpath(QStringLiteral("Second"));
    const QUrl url = QUrl::fromLocalFile(m_root.filePath(QStringLiteral("Second")));
    MainMenuBarItem::addFolder(url, storedFoldersBinding());
    MainMenuBarItem::addFolder(url, storedFoldersBinding());
    const auto stored = Defaults::get(Defaults::Keys::folders());
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0].id, existing.id);
    EXPECT_NE(stored[1].id, stored[2].id);
    EXPECT_FALSE(stored[1].id.isNull());
    ASSERT_TRUE(stored[1].urlBookmark.url());
    EXPECT_EQ(QDir(stored[1].urlBookmark.url()->toLocalFile()), QDir(url.toLocalFile()));
    EXPECT_TRUE(stored[1].isVisible);

    KvMenu menu;
    MainMenuBarItem::appSection(storedFoldersBinding(), menu);
    ASSERT_FALSE(menu.items().empty());
    EXPECT_EQ(menu.items().front()->title(), QStringLiteral("Add Folder…"));
    // Without a settings window installed there is no row offering one.
    const auto settings = std::find_if(menu.items().begin(), menu.items().end(), [](const auto &item) {
        return item->title().startsWith(QStringLiteral("Settings…"));
    });
    EXPECT_EQ(settings, menu.items().end());
}

namespace {

// Records the configuration windows shown through the screen hooks; each lives while its item holds it.
struct ConfigurationWindows {
    ConfigurationWindows() {
        ScreenHooks::setShared({.showFolderConfiguration = [this](platform::Binding<Folder> folder,
                                                                  std::function<void()> didClose) {
            auto window = std::make_shared<QObject>();
            shown.push_back(folder.get().id);
            windows.push_back(window);
            closers.push_back(std::move(didClose));
            return window;
        }});
    }
    ~ConfigurationWindows() { ScreenHooks::setShared({}); }
    bool isOpen(std::size_t index) const { return !windows.at(index).expired(); }

    std::vector<QUuid> shown;
    std::vector<std::weak_ptr<QObject>> windows;
    std::vector<std::function<void()>> closers;
};

void storeShortcut(const QString &name, const Shortkeel::Shortcut &shortcut) {
    platform::UserDefaults::standard()->setObject(
        platform::PropertyListValue(QString::fromStdString(JsonText::encode(shortcut.toJson()))),
        Shortkeel::Name(name).userDefaultsKey());
}

// Opens the lazy folder submenu of `item`, as the presenter does.
void openSubmenu(const platform::MenuItem &item) {
    item.submenu()->menuNeedsUpdate();
    item.submenu()->menuWillOpen();
}

} // namespace

TEST_F(MenuBarItemsTest, ToggleMenuOpensTheMainMenuOnceAndOnlyWithFoldersInIt) {
    const Shortkeel::Shortcut toggle{12, 4096 | 512};
    storeShortcut(QStringLiteral("toggleMenu"), toggle);
    {
        // Folders as items of their own (none stored): the shortcut is not this item's.
        MenuBarItems items;
        ASSERT_NE(items.mainItem(), nullptr);
        Shortkeel::handleOnKeyDown(toggle);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(m_bar.item(0)->popUpCount, 0);
    }

    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{makeFolder(QStringLiteral("Alpha"))});
    Defaults::set(Defaults::Keys::showFoldersInMenu(), true);
    MenuBarItems items;
    ASSERT_NE(items.mainItem(), nullptr);
    const auto statusItem = m_bar.statusBar().created.back().lock();
    Shortkeel::handleOnKeyDown(toggle);
    ASSERT_TRUE(processEventsUntil([&] { return statusItem->isMenuOpen(); }));
    EXPECT_EQ(statusItem->popUpCount, 1);
    // Pressing it again while open changes nothing.
    Shortkeel::handleOnKeyDown(toggle);
    QCoreApplication::processEvents();
    EXPECT_EQ(statusItem->popUpCount, 1);

    // Closed by hand, the menu stays closed through later updates of the item (a new icon, say).
    statusItem->closeMenu();
    items.mainItem()->coordinator().update(items.mainItem()->coordinator().item());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(statusItem->isMenuOpen());
    EXPECT_EQ(statusItem->popUpCount, 1);

    // And the shortcut opens it again.
    Shortkeel::handleOnKeyDown(toggle);
    ASSERT_TRUE(processEventsUntil([&] { return statusItem->isMenuOpen(); }));
    EXPECT_EQ(statusItem->popUpCount, 2);
    statusItem->closeMenu();
    platform::UserDefaults::standard()->removeObject(Shortkeel::Name::toggleMenu().userDefaultsKey());
}

TEST_F(MenuBarItemsTest, TheMainItemShowsTheConfigurationOfTheFolderOpenedLast) {
    ConfigurationWindows windows;
    const Folder a = makeFolder(QStringLiteral("Alpha"));
    const Folder b = makeFolder(QStringLiteral("Beta"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{a, b});
    Defaults::set(Defaults::Keys::showFoldersInMenu(), true);
    MenuBarItems items;
    MainMenuBarItem &main = *items.mainItem();
    KvMenu menu;
    main.buildMenu(menu, /*isFirstLaunch=*/false);
    const auto &itemA = *menu.items().at(1);
    const auto &itemB = *menu.items().at(2);

    openSubmenu(itemA);
    EXPECT_EQ(main.currentFolderID(), a.id);
    ASSERT_TRUE(main.currentFolderController());
    EXPECT_TRUE(main.currentFolderController()->isMenuOpen());
    main.currentFolderController()->setConfigureWindowPresented(true);
    EXPECT_EQ(windows.shown, std::vector<QUuid>{a.id});
    itemA.submenu()->menuDidClose();
    EXPECT_EQ(main.currentFolderID(), a.id) << "kept after the submenu closes";

    // Another folder's submenu closes the first window; its own choice shows the second folder.
    openSubmenu(itemB);
    EXPECT_EQ(main.currentFolderID(), b.id);
    ASSERT_TRUE(processEventsUntil([&] { return !windows.isOpen(0); }));
    main.currentFolderController()->setConfigureWindowPresented(true);
    EXPECT_EQ(windows.shown, (std::vector<QUuid>{a.id, b.id}));

    // Closing the window by hand lets "Configure Folder…" open it once more.
    windows.closers.at(1)();
    EXPECT_FALSE(main.currentFolderController()->isConfigureWindowPresented());
    ASSERT_TRUE(processEventsUntil([&] { return !windows.isOpen(1); }));
    main.currentFolderController()->setConfigureWindowPresented(true);
    EXPECT_EQ(windows.shown, (std::vector<QUuid>{a.id, b.id, b.id}));
    itemB.submenu()->menuDidClose();
}

TEST_F(MenuBarItemsTest, AFolderItemAnswersItsShortcutAndShowsItsConfiguration) {
    kestrova::testing::ScopedFakeShortcutService shortcuts;
    ConfigurationWindows windows;
    Folder folder = makeFolder(QStringLiteral("Docs"));
    const Shortkeel::Shortcut shortcut{40, 768};
    storeShortcut(folder.id.toString(QUuid::WithoutBraces).toUpper(), shortcut);
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;
    EXPECT_TRUE(shortcuts.service().hotKeys.contains(shortcut));
    const auto statusItem = m_bar.item(0);

    Shortkeel::handleOnKeyDown(shortcut);
    ASSERT_TRUE(processEventsUntil([&] { return statusItem->isMenuOpen(); }));
    statusItem->closeMenu();

    const auto controller = items.folderItem(folder.id)->folderController();
    controller->setConfigureWindowPresented(true);
    EXPECT_EQ(windows.shown, std::vector<QUuid>{folder.id});
    // Asked again while shown: the hook is asked again (it brings the window forward), the item keeps the
    // window it has, and closing that one lowers the flag once.
    controller->setConfigureWindowPresented(true);
    EXPECT_EQ(windows.shown, (std::vector<QUuid>{folder.id, folder.id}));
    EXPECT_TRUE(windows.isOpen(0));
    EXPECT_FALSE(windows.isOpen(1)) << "one window at a time";
    windows.closers.at(0)();
    EXPECT_FALSE(controller->isConfigureWindowPresented());
    ASSERT_TRUE(processEventsUntil([&] { return !windows.isOpen(0); }));
    controller->setConfigureWindowPresented(true);
    EXPECT_EQ(windows.shown.size(), 3u);

    // Hidden, the folder's item goes, and with it its window, its hot key and its listening.
    folder.isVisible = false;
    store(items, {folder});
    EXPECT_TRUE(processEventsUntil([&] { return !windows.isOpen(2); }));
    EXPECT_FALSE(shortcuts.service().hotKeys.contains(shortcut));
    const int popUps = m_bar.statusBar().created.back().lock()->popUpCount;
    Shortkeel::handleOnKeyDown(shortcut);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_bar.statusBar().created.back().lock()->popUpCount, popUps);
    platform::UserDefaults::standard()->removeObject(
        Shortkeel::Name(folder.id.toString(QUuid::WithoutBraces).toUpper()).userDefaultsKey());
}

TEST_F(MenuBarItemsTest, AFolderShortcutInsideTheMainMenuClosesTheSubmenuOnScreen) {
    // The key monitors that folder submenus make, each with the callback it was given.
    std::vector<std::function<bool(const MenuKeyEvent &)>> callbacks;
    struct NoMonitor : MenuKeyMonitor {
        void start() override {}
        void stop() override {}
    };
    std::vector<const platform::Menu *> closed;
    const FolderMenuHooks previous = FolderMenuHooks::shared();
    FolderMenuHooks::setShared({
        .makeKeyMonitor =
            [&](std::function<bool(const MenuKeyEvent &)> callback) {
                callbacks.push_back(std::move(callback));
                return std::make_unique<NoMonitor>();
            },
        .cancelMenuTracking =
            [&](platform::Menu &menu) {
                closed.push_back(&menu);
                menu.menuDidClose();
            },
    });

    const Folder a = makeFolder(QStringLiteral("Alpha"));
    storeShortcut(a.shortcutName().rawValue, Shortkeel::Shortcut{7, 256});
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{a});
    Defaults::set(Defaults::Keys::showFoldersInMenu(), true);
    {
        MenuBarItems items;
        ASSERT_NE(items.mainItem(), nullptr);
        KvMenu menu;
        items.mainItem()->buildMenu(menu, /*isFirstLaunch=*/false);
        const auto &folderItem = *menu.items().at(1);
        openSubmenu(folderItem);
        ASSERT_EQ(callbacks.size(), 1u);
        ASSERT_TRUE(folderItem.submenu()->isOpen());
        ASSERT_FALSE(folderItem.submenu()->isEmpty()) << "the folder's rows are in the submenu on screen";

        EXPECT_TRUE(callbacks.front()({MenuKeyEvent::Type::keyDown, 7, Modifier::command}));
        EXPECT_EQ(closed, std::vector<const platform::Menu *>{folderItem.submenu().get()});
        EXPECT_FALSE(folderItem.submenu()->isOpen());
        // Another key goes on to the menu.
        EXPECT_FALSE(callbacks.front()({MenuKeyEvent::Type::keyDown, 8, Modifier::command}));
    }
    FolderMenuHooks::setShared(previous);
    platform::UserDefaults::standard()->removeObject(a.shortcutName().userDefaultsKey());
}

#include "menubar/FolderController.h"

#include "FolderMenuTesting_p.h"

#include "menubar/FolderMenuBarItem.h"

#include "foundation/json/JsonText.h"
#include "foundation/app/KvApp.h"
#include "foundation/testing/ReportedErrors.h"
#include "platform/menus/Menu.h"
#include "platform/workspace/Pasteboard.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeStatusBar.h"
#include "platform/testing/InMemoryPasteboard.h"
#include "platform/testing/ScriptedPresenters.h"
#include "store/ShortkeelHandlers.h"
#include "store/testing/FakeShortcutService.h"
#include "ui-kit/menus/KvMenu.h"

#include <algorithm>

namespace kestrova {
namespace {

using testing::FolderMenuFixture;

// Counts starts and stops of the key monitor the controller makes on each build.
struct MonitorLog {
    int made = 0;
    int starts = 0;
    int stops = 0;
};

class RecordingMonitor : public MenuKeyMonitor {
public:
    explicit RecordingMonitor(MonitorLog &log)
        : m_log(log) {}
    void start() override { ++m_log.starts; }
    void stop() override { ++m_log.stops; }

private:
    MonitorLog &m_log;
};

class FolderControllerTest : public FolderMenuFixture {
protected:
    QString builtMenu() {
        prepareListing();
        auto menu = KvMenu::create();
        controller->buildMenu(*menu);
        m_lastMenu = menu;
        return menu->dump();
    }
    std::shared_ptr<platform::MenuItem> lastItemTitled(const QString &title) const {
        return lastItemTitledIn(*m_lastMenu, title);
    }
    static std::shared_ptr<platform::MenuItem> lastItemTitledIn(const platform::Menu &menu,
                                                                const QString &title) {
        for (const auto &item : menu.items())
            if (item->displayedTitle() == title)
                return item;
        return nullptr;
    }
    void storeShortcut(const Folder &stored, const Shortkeel::Shortcut &shortcut) {
        const Shortkeel::Name name(stored.id.toString(QUuid::WithoutBraces).toUpper());
        Defaults::Keys::folders().suite()->setObject(
            platform::PropertyListValue(QString::fromStdString(JsonText::encode(shortcut.toJson()))),
            name.userDefaultsKey());
    }

    std::shared_ptr<KvMenu> m_lastMenu;
};

TEST_F(FolderControllerTest, BuildsTheFolderMenuInOrderWithControlAlternates) {
    makeFile(QStringLiteral("file"));
    const QString withoutRoot = builtMenu();
    // No permission requests: they would open pickers that change nothing where access is the folder's
    // permissions.
    EXPECT_EQ(withoutRoot.section(QLatin1Char('\n'), 0, 2) + QLatin1Char('\n'),
              QStringLiteral("<empty view> [disabled]\n"
                             "\"Copy Path\" [alternate Control]\n") +
                  QLatin1Char('"') + folder.title() + QStringLiteral("\" >\n"));
    EXPECT_TRUE(withoutRoot.contains(QStringLiteral("  \"Open Folder in File Manager\" [key Command+O]\n"
                                                    "  -----\n"
                                                    "  \"Configure Folder…\" [key Shift+Command+,]\n"
                                                    "  \"Remove Folder…\"\n"
                                                    "  -----\n"
                                                    "-----\n"
                                                    "\"file\"\n"
                                                    "-----\n"
                                                    "-----\n")))
        << withoutRoot.toStdString();
    EXPECT_TRUE(withoutRoot.endsWith(QStringLiteral("\"file\"\n-----\n-----\n")));

    // A stored root bookmark changes nothing either.
    QTemporaryDir root;
    Defaults::set(Defaults::Keys::rootSandboxURLBookmark(),
                  std::optional(SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(root.path())))));
    const QString withRoot = builtMenu();
    EXPECT_EQ(withRoot, withoutRoot);
    EXPECT_FALSE(withRoot.contains(QStringLiteral("Permission")));
    // Shown only while Control is held.
    EXPECT_EQ(m_lastMenu->displayedItems(platform::Modifier::control).front()->title(),
              QStringLiteral("Copy Path"));
    EXPECT_TRUE(m_lastMenu->displayedItems().front()->hostedView());

    // "Copy Path" copies the folder's path as it is on disk: no trailing slash.
    testing::ScopedInMemoryPasteboard pasteboard;
    ASSERT_TRUE(lastItemTitled(QStringLiteral("Copy Path"))->performAction());
    const auto items = platform::Pasteboard::general().pasteboardItems();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items.front().string(QStringLiteral("text/plain;charset=utf-8")), m_directory.path());
    EXPECT_EQ(items.front().data(QStringLiteral("text/uri-list")),
              QUrl::fromLocalFile(m_directory.path()).toEncoded() + "\r\n");
    EXPECT_EQ(items.front().string(QStringLiteral("org.nspasteboard.source")), KvApp::id());
}

TEST_F(FolderControllerTest, AHiddenTitleOffersMoreTwiceAndConfigureIsPublished) {
    folder.showTitleInMenu = false;
    const QString dump = builtMenu();
    EXPECT_TRUE(dump.contains(QStringLiteral("\"Copy Path\" [alternate Control]\n"
                                             "<empty view> [disabled]\n"
                                             "<image: More> [alternate Option] >\n")))
        << dump.toStdString();
    EXPECT_TRUE(dump.contains(QStringLiteral("-----\n<image: More> >\n  \"Open Folder in File Manager\"")));
    EXPECT_TRUE(dump.endsWith(QStringLiteral("  -----\n")));

    std::vector<bool> presented;
    const auto subscription =
        controller->observeConfigureWindowPresented([&](bool value) { presented.push_back(value); });
    const auto &more = m_lastMenu->items().back()->submenu();
    for (const auto &item : more->items())
        if (item->title() == QStringLiteral("Configure Folder…"))
            item->performAction();
    EXPECT_EQ(presented, std::vector<bool>{true});
    EXPECT_TRUE(controller->isConfigureWindowPresented());

    // Without the window installed, no row offers a choice that does nothing.
    ScreenHooks::setShared({});
    const auto withoutWindow = controller->moreMenu();
    EXPECT_TRUE(
        std::none_of(withoutWindow->items().begin(), withoutWindow->items().end(), [](const auto &item) {
            return item->title().startsWith(QStringLiteral("Configure Folder…"));
        }));
}

TEST_F(FolderControllerTest, AnUnresolvableFolderIsReportedAndOffersRemoval) {
    testing::ReportedErrors reported;
    ASSERT_TRUE(m_directory.remove());
    const QString dump = builtMenu();
    const QString expectedTail =
        QStringLiteral("-----\n"
                       "\"Could not read folder.\\n\\nThis should only happen if the "
                       "original folder \\nwas deleted, the disk was unmounted, or the \\n"
                       "server was disconnected. Let me know if that's \\nnot the case. \" "
                       "[disabled]\n"
                       "-----\n"
                       "\"Remove Folder\"\n"
                       "-----\n");
    EXPECT_TRUE(dump.endsWith(expectedTail)) << dump.toStdString();
    EXPECT_TRUE(dump.contains(QStringLiteral("\"Open Folder in File Manager\" [disabled, key Command+O]")));
    ASSERT_EQ(reported.errors().size(), 1);
    EXPECT_EQ(reported.errors().front().localizedDescription(),
              QStringLiteral("Failed to get folder for URL"));
}

TEST_F(FolderControllerTest, AFolderThatIsNoFolderOffersRemoval) {
    // A stored folder that resolves to a pipe, then to a plain file: nothing to list, only to remove.
    const QByteArray pipe = QFile::encodeName(path(QStringLiteral("pipe")));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    makeFile(QStringLiteral("plain"));
    for (const QString &name : {QStringLiteral("pipe"), QStringLiteral("plain")}) {
        testing::ReportedErrors reported;
        folder.urlBookmark =
            SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(path(name)).adjusted(QUrl::None)));
        const QString dump = builtMenu();
        EXPECT_TRUE(dump.contains(QStringLiteral("Cannot list"))) << dump.toStdString();
        EXPECT_NE(lastItemTitled(QStringLiteral("Remove Folder")), nullptr) << dump.toStdString();
    }
    // A folder that cannot be read is explained, not offered for removal.
    folder.urlBookmark = SandboxURLBookmark(BookmarkData::create(url()));
    FolderListingFaults::setShared({.openDirectory = [](const QByteArray &) { return EACCES; }});
    const QString dump = builtMenu();
    FolderListingFaults::setShared({});
    EXPECT_EQ(lastItemTitled(QStringLiteral("Remove Folder")), nullptr) << dump.toStdString();
}

TEST_F(FolderControllerTest, OpenStateChangesTurnHotKeysOffOnceAndDriveTheKeyMonitor) {
    testing::ScopedFakeShortcutService shortcuts;
    MonitorLog log;
    FolderMenuHooks::setShared({.makeKeyMonitor = [&](auto) -> std::unique_ptr<MenuKeyMonitor> {
        ++log.made;
        return std::make_unique<RecordingMonitor>(log);
    }});
    Defaults::set(Defaults::Keys::folders(), folders);
    storeShortcut(folder, {40, 768});
    builtMenu();
    ASSERT_EQ(log.made, 1);

    std::vector<bool> published;
    const auto subscription = controller->observeMenuOpen([&](bool value) { published.push_back(value); });
    controller->setMenuOpen(true);
    controller->setMenuOpen(true);
    ASSERT_TRUE(testing::processEventsUntil([&] { return log.starts == 1; }));
    EXPECT_EQ(published, (std::vector<bool>{true, true}));
    EXPECT_EQ(shortcuts.service().unregistrations.size(), 1u);
    EXPECT_TRUE(shortcuts.service().registrations.empty());

    controller->setMenuOpen(false);
    ASSERT_TRUE(testing::processEventsUntil([&] { return log.stops == 1; }));
    EXPECT_EQ(shortcuts.service().registrations, (std::vector<Shortkeel::Shortcut>{{40, 768}}));
    EXPECT_EQ(log.starts, 1);

    // A change handled after the controller is gone does nothing. The menu's re-request item holds the
    // controller until the menu goes.
    controller->setMenuOpen(true);
    m_lastMenu.reset();
    controller.reset();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(log.starts, 1);
    EXPECT_EQ(shortcuts.service().unregistrations.size(), 1u);
}

// Every row and submenu row the menu holds now, for checking that they are freed.
void collectRows(const platform::Menu &menu, std::vector<std::weak_ptr<platform::MenuItem>> &rows) {
    for (const auto &item : menu.items()) {
        rows.emplace_back(item);
        if (const auto submenu = item->submenu())
            collectRows(*submenu, rows);
    }
}

TEST_F(FolderControllerTest, AClosedMenuGivesBackItsRowsAndTheNextOpeningListsAfresh) {
    testing::ScopedFakeStatusBar bar;
    makeFolder(QStringLiteral("sub"));
    makeFile(QStringLiteral("sub/inside.txt"));
    makeFile(QStringLiteral("a.txt"));
    std::vector<QUrl> opened;
    FolderMenuHooks::setShared(
        {.openEntry = [&](const QUrl &entry, bool, bool) { opened.push_back(entry); }});
    Defaults::set(Defaults::Keys::folders(), folders);
    FolderMenuBarItem item(folderElementBinding(folder, storedFoldersBinding()), storedFoldersBinding());
    const auto statusItem = bar.item(0);
    ASSERT_TRUE(statusItem);
    const auto menu = item.coordinator().menu();

    statusItem->click();
    ASSERT_TRUE(testing::processEventsUntil([&] { return menu->isOpen(); }));
    auto sub = lastItemTitledIn(*menu, QStringLiteral("sub"));
    ASSERT_TRUE(sub);
    sub->submenu()->menuNeedsUpdate();
    openListed(*sub->submenu());
    ASSERT_TRUE(lastItemTitledIn(*sub->submenu(), QStringLiteral("inside.txt")));
    std::vector<std::weak_ptr<platform::MenuItem>> rows;
    collectRows(*menu, rows);
    // The chosen row still runs: it is chosen after the menus have closed.
    sub->submenu()->menuDidClose();
    sub.reset();
    EXPECT_TRUE(statusItem->choose(lastItemTitledIn(*menu, QStringLiteral("a.txt"))));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened.front(), url(QStringLiteral("a.txt")));
    ASSERT_TRUE(testing::processEventsUntil([&] {
        return std::all_of(rows.begin(), rows.end(), [](const auto &row) { return row.expired(); });
    }));
    EXPECT_TRUE(menu->isEmpty());

    // Opened again at once after closing: the rows it shows stay.
    makeFile(QStringLiteral("b.txt"));
    statusItem->click();
    ASSERT_TRUE(testing::processEventsUntil([&] { return menu->isOpen(); }));
    statusItem->closeMenu();
    statusItem->click();
    ASSERT_TRUE(testing::processEventsUntil([&] { return menu->isOpen(); }));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(lastItemTitledIn(*menu, QStringLiteral("b.txt")));
    statusItem->closeMenu();
}

TEST_F(FolderControllerTest, AFolderThatListsSlowlyOpensLaterWhileOtherIconsStayUsable) {
    testing::ScopedFakeStatusBar bar;
    makeFolder(QStringLiteral("slow"));
    makeFile(QStringLiteral("slow/report.pdf"));
    makeFolder(QStringLiteral("quick"));
    makeFile(QStringLiteral("quick/notes.txt"));
    const Folder slow(QUuid::createUuid(),
                      SandboxURLBookmark(BookmarkData::create(url(QStringLiteral("slow")))));
    const Folder quick(QUuid::createUuid(),
                       SandboxURLBookmark(BookmarkData::create(url(QStringLiteral("quick")))));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{slow, quick});
    FolderMenuBarItem slowItem(folderElementBinding(slow, storedFoldersBinding()), storedFoldersBinding());
    FolderMenuBarItem quickItem(folderElementBinding(quick, storedFoldersBinding()), storedFoldersBinding());
    const auto slowIcon = bar.item(0);
    const auto quickIcon = bar.item(1);
    ASSERT_TRUE(slowIcon && quickIcon);
    testing::ScopedListingTimeLimit limit(std::chrono::milliseconds(300));
    testing::StalledDirectories stalled("/slow");

    // The click returns while the folder hangs, and another icon's menu opens at once.
    slowIcon->click();
    EXPECT_FALSE(slowIcon->isMenuOpen());
    quickIcon->click();
    ASSERT_TRUE(testing::processEventsUntil([&] { return quickIcon->isMenuOpen(); }));
    EXPECT_TRUE(lastItemTitledIn(*quickItem.coordinator().menu(), QStringLiteral("notes.txt")));
    quickIcon->closeMenu();
    // The slow folder's menu, asked for before the other one, does not open over it later.
    ASSERT_TRUE(testing::processEventsUntil([&] { return stalled.blockedCount() == 1; }));

    // Asked for again: after the limit it opens and says why the folder is not listed.
    slowIcon->click();
    ASSERT_TRUE(testing::processEventsUntil([&] { return slowIcon->isMenuOpen(); }));
    EXPECT_FALSE(quickIcon->isMenuOpen());
    const auto slowMenu = slowItem.coordinator().menu();
    const auto explanation =
        std::find_if(slowMenu->items().begin(), slowMenu->items().end(), [](const auto &row) {
            return row->displayedTitle().startsWith(QStringLiteral("Could not read folder.\n\n"));
        });
    ASSERT_NE(explanation, slowMenu->items().end()) << qPrintable(slowMenu->dump());
    EXPECT_FALSE((*explanation)->isEnabled());
    EXPECT_FALSE(lastItemTitledIn(*slowMenu, QStringLiteral("report.pdf")));
    slowIcon->closeMenu();

    // Once the folder answers, a click opens its menu with its entries as soon as they are listed.
    stalled.release();
    ASSERT_TRUE(testing::processEventsUntil([] { return FolderContentsLoader::runningCount() == 0; }));
    slowIcon->click();
    ASSERT_TRUE(testing::processEventsUntil([&] { return slowIcon->isMenuOpen(); }));
    EXPECT_TRUE(lastItemTitledIn(*slowMenu, QStringLiteral("report.pdf")));
    slowIcon->closeMenu();
}

TEST_F(FolderControllerTest, AHotKeyOpensASlowFolderOnceItIsListedAndOnlyOnce) {
    testing::ScopedFakeStatusBar bar;
    testing::ScopedFakeShortcutService shortcuts;
    makeFile(QStringLiteral("report.pdf"));
    Defaults::set(Defaults::Keys::folders(), folders);
    storeShortcut(folder, {40, 768});
    FolderMenuBarItem item(folderElementBinding(folder, storedFoldersBinding()), storedFoldersBinding());
    const auto icon = bar.item(0);
    ASSERT_TRUE(icon);
    const auto menu = item.coordinator().menu();
    int openings = 0;
    const auto openState = menu->observeOpenState([&](bool isOpen) { openings += isOpen ? 1 : 0; });

    // Pressed twice while the folder hangs: nothing waits, nothing opens yet, and one listing runs.
    testing::StalledDirectories stalled(QFile::encodeName(m_directory.path()));
    Shortkeel::handleOnKeyDown({40, 768});
    Shortkeel::handleOnKeyDown({40, 768});
    ASSERT_TRUE(testing::processEventsUntil([&] { return stalled.blockedCount() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(icon->isMenuOpen());
    EXPECT_EQ(FolderContentsLoader::runningCount(), 1);

    // Once listed, the menu opens once, with the folder's rows.
    stalled.release();
    ASSERT_TRUE(testing::processEventsUntil([&] { return icon->isMenuOpen(); }));
    EXPECT_TRUE(lastItemTitledIn(*menu, QStringLiteral("report.pdf"))) << qPrintable(menu->dump());
    EXPECT_FALSE(menu->isAwaitingContents());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(openings, 1);
    icon->closeMenu();
}

TEST_F(FolderControllerTest, RemovingAFolderAsksFirstAndRelaunches) {
    testing::ScopedScriptedPresenters presenters;
    const auto previous = KvApp::relaunchOperations();
    int relaunches = 0;
    KvApp::setRelaunchOperations(
        {.startProcess = [&](const QString &, const QStringList &) { return ++relaunches, true; },
         .openApplication = [&](const QUrl &) { return ++relaunches, true; },
         .terminate = [] {},
         .exitNow = [](int) {}});
    Defaults::set(Defaults::Keys::folders(), folders);
    builtMenu();
    // Below the hidden "Copy Path": the title row, whose submenu is the More submenu.
    const auto more = m_lastMenu->items()[2]->submenu();
    std::shared_ptr<platform::MenuItem> remove;
    for (const auto &item : more->items())
        if (item->title() == QStringLiteral("Remove Folder…"))
            remove = item;
    ASSERT_TRUE(remove);

    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn + 1);
    remove->performAction();
    ASSERT_TRUE(testing::processEventsUntil([&] { return presenters.alerts().shownAlerts().size() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(Defaults::get(Defaults::Keys::folders()).size(), 1u);
    EXPECT_EQ(presenters.alerts().shownAlerts().front().messageText,
              QStringLiteral("Remove “") + folder.title() + QStringLiteral("” from ") + KvApp::name() +
                  QStringLiteral("?"));

    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);
    remove->performAction();
    ASSERT_TRUE(
        testing::processEventsUntil([&] { return Defaults::get(Defaults::Keys::folders()).empty(); }));
    ASSERT_TRUE(testing::processEventsUntil([&] { return relaunches > 0; }));
    KvApp::setRelaunchOperations(previous);
}

} // namespace
} // namespace kestrova

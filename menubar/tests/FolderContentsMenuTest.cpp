#include "menubar/FolderContentsMenu.h"

#include "FolderMenuTesting_p.h"

#include "menubar/FolderContents.h"
#include "menubar/SortByMenu.h"

#include "foundation/testing/ReportedErrors.h"
#include "platform/menus/Menu.h"
#include "platform/testing/EventLoop.h"
#include "ui-kit/menus/KvMenu.h"

#include <QCoreApplication>

#include <cerrno>

namespace kestrova {
namespace {

using testing::FolderMenuFixture;

class FolderContentsMenuTest : public FolderMenuFixture {
protected:
    void TearDown() override {
        FolderListingFaults::setShared({});
        FolderMenuFixture::TearDown();
    }

    QString topLevelDump() {
        auto menu = KvMenu::create();
        folderContentsMenu(url(), menu.get(), controller);
        waitForRows(*menu);
        return menu->dump();
    }
    std::shared_ptr<platform::MenuItem> itemTitled(platform::Menu &menu, const QString &title) {
        for (const auto &item : menu.items())
            if (item->displayedTitle() == title)
                return item;
        return nullptr;
    }
};

TEST_F(FolderContentsMenuTest, ItemLimitKeepsTheFirstEntriesAndCountsTheRest) {
    for (const char *name : {"a", "b", "c", "d", "e"})
        makeFile(QString::fromLatin1(name));
    folder.itemLimit = 3;
    EXPECT_EQ(topLevelDump(), QStringLiteral("\"a\"\n\"b\"\n\"c\"\n-----\n\"2 Excluded Items\"\n-----\n"));

    ASSERT_TRUE(QFile::remove(path(QStringLiteral("e"))));
    EXPECT_EQ(topLevelDump(), QStringLiteral("\"a\"\n\"b\"\n\"c\"\n-----\n\"1 Excluded Item\"\n-----\n"));

    folder.itemLimit = 4;
    EXPECT_EQ(topLevelDump(), QStringLiteral("\"a\"\n\"b\"\n\"c\"\n\"d\"\n-----\n"));

    // Zero and negative limits list nothing, and never crash.
    for (const std::int64_t limit :
         {std::int64_t(0), std::int64_t(-5), std::numeric_limits<std::int64_t>::min()}) {
        folder.itemLimit = limit;
        EXPECT_EQ(topLevelDump(), QStringLiteral("\"Empty\" [disabled]\n")) << limit;
    }
    folder.itemLimit.reset();
    ASSERT_TRUE(QDir(path(QString())).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(m_directory.path()));
    EXPECT_EQ(topLevelDump(), QStringLiteral("\"Empty\" [disabled]\n"));
}

TEST_F(FolderContentsMenuTest, FoldersThenAliasesComeFirstAndTitlesAreShortenedInTheMiddle) {
    makeFile(QStringLiteral("b-file"), 10);
    makeFolder(QStringLiteral("z-folder"));
    makeFile(QStringLiteral("a-file"), 20);
    ASSERT_EQ(symlink("/nonexistent", QFile::encodeName(path(QStringLiteral("m-alias"))).constData()), 0);
    const QString longName = QStringLiteral("abcdefghijklmnopqrst") + QStringLiteral("U") +
                             QStringLiteral("vwxyz0123456789ABCDE"); // 41 characters
    ASSERT_EQ(longName.size(), 41);
    makeFile(longName, 30);
    Defaults::set(Defaults::Keys::showFileAndDirectorySubmenu(), false);

    EXPECT_EQ(topLevelDump(),
              QStringLiteral("\"z-folder\"\n\"m-alias\"\n\"a-file\"\n"
                             "\"abcdefghijklmnopqrst…wxyz0123456789ABCDE\"\n\"b-file\"\n-----\n"));

    folder.keepFoldersOnTop = false;
    folder.sortOrder = Folder::SortOrder::dateModified;
    EXPECT_EQ(topLevelDump(), QStringLiteral("\"m-alias\"\n\"z-folder\"\n\"b-file\"\n\"a-file\"\n"
                                             "\"abcdefghijklmnopqrst…wxyz0123456789ABCDE\"\n-----\n"));
}

TEST_F(FolderContentsMenuTest, SubfoldersAreListedOnlyWhenOpenedAndTheirOwnOrderWins) {
    makeFolder(QStringLiteral("sub"));
    makeFile(QStringLiteral("sub/old"), 1000);
    makeFile(QStringLiteral("sub/new"), 10);
    makeFile(QStringLiteral("top"));
    std::vector<QByteArray> opened;
    FolderListingFaults::setShared(
        {.didOpenDirectory = [&](const QByteArray &directory) { opened.push_back(directory); }});

    auto menu = KvMenu::create();
    folderContentsMenu(url(), menu.get(), controller);
    waitForRows(*menu);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(menu->dump(), QStringLiteral("\"sub\" > (not built)\n\"top\"\n-----\n"));

    setSubfolderSortOrder(url(QStringLiteral("sub")), Folder::SortOrder::dateModified);
    const auto sub = itemTitled(*menu, QStringLiteral("sub"));
    ASSERT_TRUE(sub);
    openListed(*sub->submenu());
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(opened.back().endsWith("/sub"));
    EXPECT_EQ(sub->submenu()->dump(), QStringLiteral("<empty view> [disabled]\n"
                                                     "\"Copy Path\" [alternate Option]\n"
                                                     "<empty view> [disabled]\n"
                                                     "\"Get Info\" [alternate Option]\n"
                                                     "<empty view> [disabled]\n"
                                                     "\"Sort By\" [alternate Option] >\n"
                                                     "  \"Default (Name)\"\n"
                                                     "  -----\n"
                                                     "  \"Name\"\n"
                                                     "  \"Date Added\"\n"
                                                     "  \"Date Modified\" [on]\n"
                                                     "  \"Date Created\"\n"
                                                     "  \"Date Accessed\"\n"
                                                     "  \"Kind\"\n"
                                                     "  \"Tags\"\n"
                                                     "\"new\"\n"
                                                     "\"old\"\n"
                                                     "-----\n"));
    // "Sort By" only holds its submenu: a click on it must not close the menu as a chosen row would.
    const auto sortBy = itemTitled(*sub->submenu(), QStringLiteral("Sort By"));
    ASSERT_TRUE(sortBy);
    EXPECT_FALSE(sortBy->hasAction());
    // The folder's own level keeps the folder's order, and the controller's death empties submenus.
    resetSubfolderSortOrder(url(QStringLiteral("sub")));
    sub->submenu()->menuDidClose();
    ASSERT_TRUE(testing::processEventsUntil([&] { return sub->submenu()->isEmpty(); }));
    openListed(*sub->submenu());
    EXPECT_TRUE(sub->submenu()->dump().endsWith(QStringLiteral("\"new\"\n\"old\"\n-----\n")));
    EXPECT_EQ(opened.size(), 3u);
}

TEST_F(FolderContentsMenuTest, UnreadableEntriesAreDimmedAndListingFailuresExplained) {
    makeFile(QStringLiteral("secret"));
    makeFile(QStringLiteral("open"));
    makeFolder(QStringLiteral("locked"));
    makeFolder(QStringLiteral("broken"));
    FolderListingFaults::setShared({
        .openDirectory =
            [](const QByteArray &directory) {
                if (directory.endsWith("locked"))
                    return EACCES;
                return directory.endsWith("broken") ? EIO : 0;
            },
        .isUnreadable = [](const QByteArray &entry) { return entry.endsWith("secret"); },
    });
    testing::ReportedErrors reported;

    auto menu = KvMenu::create();
    folderContentsMenu(url(), menu.get(), controller);
    waitForRows(*menu);
    const auto secret = itemTitled(*menu, QStringLiteral("secret"));
    ASSERT_TRUE(secret);
    ASSERT_TRUE(secret->attributedTitle().has_value());
    EXPECT_EQ(secret->attributedTitle()->wholeStringColor(), platform::TextColor::secondaryLabel());
    openListed(*secret->submenu());
    // A file is called a file.
    EXPECT_EQ(secret->submenu()->dump(), QStringLiteral("\"Missing Access to This File\" [disabled]\n"));
    // A readable file has no submenu until the file submenu is installed.
    EXPECT_FALSE(itemTitled(*menu, QStringLiteral("open"))->hasSubmenu());

    const auto locked = itemTitled(*menu, QStringLiteral("locked"));
    openListed(*locked->submenu());
    EXPECT_EQ(locked->submenu()->dump(), QStringLiteral("\"Missing Access to This Folder\" [disabled]\n"));
    EXPECT_TRUE(reported.errors().isEmpty());

    const auto broken = itemTitled(*menu, QStringLiteral("broken"));
    openListed(*broken->submenu());
    ASSERT_EQ(broken->submenu()->items().size(), 1u);
    EXPECT_FALSE(broken->submenu()->items().front()->isEnabled());
    EXPECT_TRUE(broken->submenu()->items().front()->title().contains(QStringLiteral("broken")));
    ASSERT_EQ(reported.errors().size(), 1);
    EXPECT_EQ(reported.errors().front().code(), EIO);
}

TEST_F(FolderContentsMenuTest, RowsOpenTheirEntryAndFilesGetTheInstalledSubmenu) {
    makeFile(QStringLiteral("a & b\tc"));
    makeFolder(QStringLiteral("dir"));
    std::vector<std::pair<QUrl, bool>> openedEntries;
    std::vector<QUrl> fileSubmenus;
    FolderMenuHooks::setShared({
        .openEntry = [&](const QUrl &entry, bool isFolder,
                         bool) { openedEntries.emplace_back(entry, isFolder); },
        .fileSubmenu = [&](const QUrl &file,
                           const std::shared_ptr<FolderController> &) -> std::shared_ptr<platform::Menu> {
            fileSubmenus.push_back(file);
            auto menu = KvMenu::create();
            menu->addItem(std::make_shared<platform::MenuItem>(QStringLiteral("file actions")));
            return menu;
        },
    });
    Defaults::set(Defaults::Keys::showIconsInMenu(), true);

    auto menu = KvMenu::create();
    folderContentsMenu(url(), menu.get(), controller);
    waitForRows(*menu);
    // Names are kept literally: the presenter escapes what its toolkit would read as markup.
    const auto file = itemTitled(*menu, QStringLiteral("a & b\tc"));
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->image().isNull());
    EXPECT_EQ(file->image().size(), QSize(16, 16));
    EXPECT_TRUE(fileSubmenus.empty());
    openListed(*file->submenu());
    EXPECT_EQ(file->submenu()->dump(), QStringLiteral("\"file actions\"\n"));
    ASSERT_EQ(fileSubmenus.size(), 1u);
    EXPECT_EQ(fileSubmenus.front(), url(QStringLiteral("a & b\tc")));

    EXPECT_TRUE(itemTitled(*menu, QStringLiteral("dir"))->performAction());
    EXPECT_TRUE(file->performAction());
    ASSERT_EQ(openedEntries.size(), 2u);
    EXPECT_EQ(openedEntries[0], std::make_pair(url(QStringLiteral("dir")), true));
    EXPECT_EQ(openedEntries[1], std::make_pair(url(QStringLiteral("a & b\tc")), false));

    // Submenus built after the controller is gone are empty.
    const auto dir = itemTitled(*menu, QStringLiteral("dir"));
    controller.reset();
    openListed(*dir->submenu());
    EXPECT_TRUE(dir->submenu()->isEmpty());
}

TEST_F(FolderContentsMenuTest, LinkRowsAreTitledWithTheLinkAndHandItToTheirSubmenu) {
    QTemporaryDir elsewhere;
    const QByteArray target = QFile::encodeName(QDir(elsewhere.path()).canonicalPath()) + "/target.txt";
    makeFileAt(target);
    for (const char *name : {"one.txt", "two.txt"})
        ASSERT_EQ(symlink(target.constData(), QFile::encodeName(path(QString::fromLatin1(name))).constData()),
                  0);
    ASSERT_EQ(symlink("/dev/zero", QFile::encodeName(path(QStringLiteral("zeros"))).constData()), 0);
    std::vector<QUrl> opened;
    std::vector<QUrl> submenus;
    FolderMenuHooks::setShared({
        .openEntry = [&](const QUrl &entry, bool, bool) { opened.push_back(entry); },
        .fileSubmenu = [&](const QUrl &file,
                           const std::shared_ptr<FolderController> &) -> std::shared_ptr<platform::Menu> {
            submenus.push_back(file);
            return KvMenu::create();
        },
    });

    auto menu = KvMenu::create();
    folderContentsMenu(url(), menu.get(), controller);
    waitForRows(*menu);
    EXPECT_EQ(menu->dump(),
              QStringLiteral("\"one.txt\" > (not built)\n\"two.txt\" > (not built)\n\"zeros\"\n-----\n"));
    const auto one = itemTitled(*menu, QStringLiteral("one.txt"));
    ASSERT_TRUE(one);
    openListed(*one->submenu());
    // The submenu gets the link (what it trashes and copies); choosing the row opens the target.
    ASSERT_EQ(submenus.size(), 1u);
    EXPECT_EQ(submenus.front(), url(QStringLiteral("one.txt")));
    EXPECT_TRUE(one->performAction());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened.front(), url::fromLocalPath(target));
}

TEST_F(FolderContentsMenuTest, AStalledFolderIsExplainedAfterTheLimitAndListedOnceItAnswers) {
    makeFolder(QStringLiteral("mount"));
    makeFile(QStringLiteral("mount/report.pdf"));
    testing::ScopedListingTimeLimit limit(std::chrono::milliseconds(300));
    testing::StalledDirectories stalled("/mount");
    testing::ReportedErrors reported;

    auto menu = KvMenu::create();
    folderContentsMenu(url(), menu.get(), controller);
    waitForRows(*menu);
    const auto mount = itemTitled(*menu, QStringLiteral("mount"));
    ASSERT_TRUE(mount);
    const auto submenu = mount->submenu();
    // Opening does not wait for the listing: the submenu awaits its rows, which come after the limit.
    submenu->menuWillOpen();
    EXPECT_TRUE(submenu->isAwaitingContents());
    EXPECT_TRUE(submenu->isEmpty());
    waitForRows(*submenu);
    ASSERT_EQ(submenu->items().size(), 1u);
    const auto explanation = submenu->items().front();
    EXPECT_FALSE(explanation->isEnabled());
    const QString text = explanation->displayedTitle();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Could not read folder.\n\n"))) << qPrintable(text);
    EXPECT_TRUE(
        text.simplified().endsWith(QStringLiteral("did not answer within 1 second. A network server or disk "
                                                  "may be slow or disconnected; try again later.")))
        << qPrintable(text);
    EXPECT_TRUE(text.simplified().contains(path(QStringLiteral("mount")))) << qPrintable(text);
    // A slow file system is not a fault of the application.
    EXPECT_TRUE(reported.errors().isEmpty());

    // Opened again while the first listing still hangs: no second listing is started.
    submenu->menuDidClose();
    ASSERT_TRUE(testing::processEventsUntil([&] { return submenu->isEmpty(); }));
    openListed(*submenu);
    EXPECT_TRUE(
        submenu->items().front()->displayedTitle().startsWith(QStringLiteral("Could not read folder.")));
    EXPECT_EQ(stalled.blockedCount(), 1);
    EXPECT_EQ(FolderContentsLoader::runningCount(), 1);

    // Once the file system answers, the next opening lists the folder.
    stalled.release();
    ASSERT_TRUE(testing::processEventsUntil([] { return FolderContentsLoader::runningCount() == 0; }));
    submenu->menuDidClose();
    ASSERT_TRUE(testing::processEventsUntil([&] { return submenu->isEmpty(); }));
    openListed(*submenu);
    EXPECT_TRUE(itemTitled(*submenu, QStringLiteral("report.pdf")));
}

TEST_F(FolderContentsMenuTest, ASlowListingIsNotWaitedForAndItsRowsComeWhenItEnds) {
    makeFile(QStringLiteral("b"));
    makeFile(QStringLiteral("a"));
    testing::StalledDirectories stalled(QFile::encodeName(m_directory.path()));
    auto menu = KvMenu::create();
    folderContentsMenu(url(), menu.get(), controller);
    EXPECT_TRUE(menu->isAwaitingContents());
    EXPECT_TRUE(menu->isEmpty());
    ASSERT_TRUE(testing::processEventsUntil([&] { return stalled.blockedCount() == 1; }));
    stalled.release();
    waitForRows(*menu);
    EXPECT_EQ(menu->dump(), QStringLiteral("\"a\"\n\"b\"\n-----\n"));
    // Two menus of the folder opened while it is listed wait for the same listing, and both have its rows.
    {
        testing::StalledDirectories slow(QFile::encodeName(m_directory.path()));
        auto first = KvMenu::create();
        auto second = KvMenu::create();
        folderContentsMenu(url(), first.get(), controller);
        ASSERT_TRUE(testing::processEventsUntil([&] { return slow.blockedCount() == 1; }));
        folderContentsMenu(url(), second.get(), controller);
        EXPECT_EQ(FolderContentsLoader::runningCount(), 1);
        slow.release();
        waitForRows(*first);
        waitForRows(*second);
        EXPECT_EQ(first->dump(), menu->dump());
        EXPECT_EQ(second->dump(), menu->dump());
    }
    // A menu that went before its rows came is left alone.
    testing::StalledDirectories again(QFile::encodeName(m_directory.path()));
    auto gone = KvMenu::create();
    folderContentsMenu(url(), gone.get(), controller);
    ASSERT_TRUE(gone->isAwaitingContents());
    ASSERT_TRUE(testing::processEventsUntil([&] { return again.blockedCount() == 1; }));
    gone.reset();
    again.release();
    ASSERT_TRUE(testing::processEventsUntil([] { return FolderContentsLoader::runningCount() == 0; }));
    QCoreApplication::processEvents();
}

} // namespace
} // namespace kestrova

#include "menubar/MainMenuBarItem.h"

#include "menubar/ScreenHooks.h"

#include "foundation/app/KvApp.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeStatusBar.h"
#include "platform/testing/ScriptedPresenters.h"
#include "store/BookmarkData.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/utilities/UrlOpener.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::testing::processEventsUntil;

namespace {

class AppSectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_previousOpener = UrlOpener::setHandler([this](const QUrl &url) {
            opened.push_back(url);
            return true;
        });
        m_previousHooks = KvApp::hooks();
        m_previousRelaunch = KvApp::relaunchOperations();
        KvApp::setHooks({});
        KvApp::setRelaunchOperations({.startProcess =
                                          [this](const QString &, const QStringList &) {
                                              ++relaunches;
                                              return true;
                                          },
                                      .openApplication =
                                          [this](const QUrl &) {
                                              ++relaunches;
                                              return true;
                                          },
                                      .terminate = [] {},
                                      .exitNow = [](int) {}});
        ScreenHooks::setShared({});
    }
    void TearDown() override {
        UrlOpener::setHandler(m_previousOpener);
        KvApp::setHooks(m_previousHooks);
        KvApp::setRelaunchOperations(m_previousRelaunch);
        ScreenHooks::setShared({});
    }

    Folder makeFolder(const QString &name, bool isVisible) {
        QDir(m_root.path()).mkpath(name);
        Folder folder(QUuid::createUuid(),
                      SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(m_root.filePath(name)))));
        folder.isVisible = isVisible;
        return folder;
    }
    platform::Binding<std::vector<Folder>> binding() {
        return platform::Binding<std::vector<Folder>>(
            [this] { return folders; }, [this](const std::vector<Folder> &value) { folders = value; });
    }
    std::vector<bool> visibility() const {
        std::vector<bool> result;
        for (const Folder &folder : folders)
            result.push_back(folder.isVisible);
        return result;
    }

    static std::vector<QString> titles(const platform::Menu &menu) {
        std::vector<QString> result;
        for (const auto &item : menu.items())
            result.push_back(item->isSeparator() ? QStringLiteral("-") : item->displayedTitle());
        return result;
    }
    static std::shared_ptr<platform::MenuItem> itemTitled(const platform::Menu &menu, const QString &title) {
        for (const auto &item : menu.items())
            if (item->displayedTitle() == title)
                return item;
        return nullptr;
    }
    static QString quitTitle() { return QStringLiteral("Quit ") + QGuiApplication::applicationDisplayName(); }

    std::vector<Folder> folders;
    std::vector<QUrl> opened;
    int relaunches = 0;
    QTemporaryDir m_root;

private:
    UrlOpener::Handler m_previousOpener;
    KvApp::ApplicationHooks m_previousHooks;
    KvApp::RelaunchOperations m_previousRelaunch;
};

} // namespace

TEST_F(AppSectionTest, WithoutFoldersOrWindowsTheSectionIsShortAndSaysWhatIsMissing) {
    KvMenu menu;
    MainMenuBarItem::appSection(binding(), menu, /*isDebugMode=*/false);
    EXPECT_EQ(titles(menu), (std::vector<QString>{QStringLiteral("Add Folder…"), QStringLiteral("-"),
                                                  QStringLiteral("Send Feedback…"), QStringLiteral("-"),
                                                  QStringLiteral("More"), QStringLiteral("-"),
                                                  QStringLiteral("-"), quitTitle()}));
    EXPECT_EQ(menu.items().front()->keyEquivalent(), QStringLiteral("a"));

    // Debug mode adds "Debug", disabled while this build has no debug window.
    KvMenu debugMenu;
    MainMenuBarItem::appSection(binding(), debugMenu, /*isDebugMode=*/true);
    const auto unavailable = itemTitled(debugMenu, QStringLiteral("Debug (not available yet)"));
    ASSERT_TRUE(unavailable);
    EXPECT_FALSE(unavailable->isEnabled());

    // With the windows installed, both items open them.
    int settingsShown = 0;
    int debugShown = 0;
    KvApp::ApplicationHooks hooks;
    hooks.showSettingsWindow = [&] { ++settingsShown; };
    KvApp::setHooks(hooks);
    ScreenHooks::setShared({.showDebugWindow = [&] { ++debugShown; }});
    KvMenu withWindows;
    MainMenuBarItem::appSection(binding(), withWindows, /*isDebugMode=*/true);
    const auto settings = itemTitled(withWindows, QStringLiteral("Settings…"));
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->keyEquivalent(), QStringLiteral(","));
    EXPECT_TRUE(settings->performAction());
    EXPECT_TRUE(processEventsUntil([&] { return settingsShown == 1; }));
    const auto debug = itemTitled(withWindows, QStringLiteral("Debug"));
    ASSERT_TRUE(debug);
    EXPECT_TRUE(debug->performAction());
    EXPECT_EQ(debugShown, 1);
    EXPECT_EQ(titles(withWindows).at(titles(withWindows).size() - 3), QStringLiteral("Debug"));
}

TEST_F(AppSectionTest, FoldersSubmenuShowsEveryFolderAndEnablesShowAllOrHideAll) {
    folders = {makeFolder(QStringLiteral("Alpha"), true), makeFolder(QStringLiteral("Beta"), false)};
    KvMenu menu;
    MainMenuBarItem::appSection(binding(), menu, /*isDebugMode=*/false);
    ASSERT_EQ(titles(menu).at(2), QStringLiteral("Folders"));
    const auto submenu = menu.items().at(2)->submenu();
    ASSERT_TRUE(submenu);
    EXPECT_FALSE(menu.items().at(2)->hasAction());
    EXPECT_EQ(titles(*submenu),
              (std::vector<QString>{QStringLiteral("-"), QStringLiteral("Show"), QStringLiteral("Alpha"),
                                    QStringLiteral("Beta"), QStringLiteral("-"), QStringLiteral("Show All"),
                                    QStringLiteral("Hide All")}));
    EXPECT_FALSE(submenu->items().at(1)->isEnabled());
    EXPECT_EQ(submenu->items().at(2)->state(), platform::MenuItem::State::on);
    EXPECT_EQ(submenu->items().at(3)->state(), platform::MenuItem::State::off);
    EXPECT_FALSE(submenu->items().at(2)->image().isNull());
    EXPECT_TRUE(itemTitled(*submenu, QStringLiteral("Show All"))->isEnabled());
    EXPECT_TRUE(itemTitled(*submenu, QStringLiteral("Hide All"))->isEnabled());

    // Show All and Hide All change the list without a relaunch, and enable each other.
    EXPECT_TRUE(itemTitled(*submenu, QStringLiteral("Show All"))->performAction());
    EXPECT_EQ(visibility(), (std::vector<bool>{true, true}));
    KvMenu allVisible;
    MainMenuBarItem::buildFoldersSubmenu(binding(), allVisible);
    EXPECT_FALSE(itemTitled(allVisible, QStringLiteral("Show All"))->isEnabled());
    EXPECT_TRUE(itemTitled(allVisible, QStringLiteral("Hide All"))->isEnabled());
    EXPECT_TRUE(itemTitled(allVisible, QStringLiteral("Hide All"))->performAction());
    EXPECT_EQ(visibility(), (std::vector<bool>{false, false}));
    KvMenu allHidden;
    MainMenuBarItem::buildFoldersSubmenu(binding(), allHidden);
    EXPECT_TRUE(itemTitled(allHidden, QStringLiteral("Show All"))->isEnabled());
    EXPECT_FALSE(itemTitled(allHidden, QStringLiteral("Hide All"))->isEnabled());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(relaunches, 0);

    // Choosing a folder flips only that one, then relaunches.
    EXPECT_TRUE(itemTitled(allHidden, QStringLiteral("Beta"))->performAction());
    EXPECT_EQ(visibility(), (std::vector<bool>{false, true}));
    EXPECT_TRUE(processEventsUntil([&] { return relaunches == 1; }));
}

TEST_F(AppSectionTest, MoreOffersAboutFaqTipsAndTheWebsite) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    const auto more = MainMenuBarItem::moreMenu();
    EXPECT_EQ(titles(*more), (std::vector<QString>{QStringLiteral("About"), QStringLiteral("-"),
                                                   QStringLiteral("-"), QStringLiteral("FAQ"),
                                                   QStringLiteral("Tips"), QStringLiteral("Website")}));

    EXPECT_TRUE(itemTitled(*more, QStringLiteral("About"))->performAction());
    ASSERT_TRUE(processEventsUntil([&] { return presenters.alerts().shownAlerts().size() == 1; }));
    EXPECT_EQ(presenters.alerts().shownAlerts().back().messageText, KvApp::name());
    EXPECT_TRUE(presenters.alerts().shownAlerts().back().informativeText.contains(KvApp::version()));

    const auto faq = itemTitled(*more, QStringLiteral("FAQ"))->submenu();
    ASSERT_TRUE(faq);
    const std::vector<std::pair<QString, QString>> links{
        {QStringLiteral("How can I show specific files and folders from various places?"),
         QStringLiteral("#show-specific-items")},
        {QStringLiteral("How can I show multiple folders at the top level in a single menu?"),
         QStringLiteral("#show-multiple-folders")},
        {QStringLiteral("How can I copy the file path or image dimensions?"),
         QStringLiteral("#copy-file-path")},
        {QStringLiteral("How can I use this as an app launcher?"), QStringLiteral("#app-launcher")},
        {QStringLiteral("How can I show certain folders in the menu bar depending on what I'm working on?"),
         QStringLiteral("#faq-shortcuts")},
        {QStringLiteral("The app I want does not show up in the “Open With” menu for a folder"),
         QStringLiteral("#folder-open-with")},
        {QStringLiteral("How is this better than folder bookmarks in the file manager or on the panel?"),
         QStringLiteral("#bookmarked-folders")},
        {QStringLiteral("More…"), QStringLiteral("#faq")},
    };
    ASSERT_EQ(faq->numberOfItems(), links.size() + 1);
    EXPECT_EQ(faq->items().at(7)->title(), QStringLiteral("The file opens as read-only"));
    for (const auto &[title, anchor] : links) {
        const auto item = itemTitled(*faq, title);
        ASSERT_TRUE(item) << title.toStdString();
        opened.clear();
        EXPECT_TRUE(item->performAction());
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened.front(), MainMenuBarItem::helpPageURL(anchor));
        EXPECT_EQ(opened.front().fragment(QUrl::FullyEncoded), anchor.mid(1));
    }
    opened.clear();
    EXPECT_TRUE(itemTitled(*more, QStringLiteral("Tips"))->performAction());
    EXPECT_EQ(opened, std::vector<QUrl>{MainMenuBarItem::helpPageURL(QStringLiteral("#tips"))});

    // The read-only answer is an alert, not a page.
    opened.clear();
    EXPECT_TRUE(faq->items().at(7)->performAction());
    EXPECT_TRUE(opened.empty());
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 2u);
    const platform::Alert &alert = presenters.alerts().shownAlerts().back();
    // What is true on this desktop: permissions and read-only mounts, and where to see them.
    EXPECT_EQ(alert.messageText, QStringLiteral("Files open with your own permissions"));
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("mounted read-only")));
    EXPECT_FALSE(alert.informativeText.contains(QStringLiteral("remove and add")));
    EXPECT_TRUE(alert.buttons.empty()) << "the presenter's single standard button";
}

TEST_F(AppSectionTest, TheFirstLaunchLeadsWithAHintAndTheGuide) {
    kestrova::testing::ScopedFakeStatusBar bar;
    MainMenuBarItem item(binding(), /*showFoldersInMenu=*/false);
    KvMenu first;
    item.buildMenu(first, /*isFirstLaunch=*/true);
    const std::vector<QString> all = titles(first);
    ASSERT_GE(all.size(), 6u);
    const std::vector<QString> lead(all.begin(), all.begin() + 6);
    EXPECT_EQ(lead, (std::vector<QString>{QStringLiteral("Add a folder to get started"), QStringLiteral("-"),
                                          QStringLiteral("Guide"), QStringLiteral("-"), QStringLiteral("-"),
                                          QStringLiteral("Add Folder…")}));
    const auto &hint = first.items().front();
    EXPECT_TRUE(hint->title().isEmpty());
    EXPECT_FALSE(hint->isEnabled());
    ASSERT_TRUE(hint->attributedTitle());
    ASSERT_TRUE(hint->attributedTitle()->wholeStringFont());
    EXPECT_TRUE(hint->attributedTitle()->wholeStringFont()->bold());
    EXPECT_TRUE(first.items().at(2)->performAction());
    EXPECT_EQ(opened, std::vector<QUrl>{MainMenuBarItem::helpPageURL(QStringLiteral("#guide"))});

    KvMenu later;
    item.buildMenu(later, /*isFirstLaunch=*/false);
    EXPECT_EQ(titles(later).at(0), QStringLiteral("-"));
    EXPECT_EQ(titles(later).at(1), QStringLiteral("Add Folder…"));
}

TEST_F(AppSectionTest, TheFirstLaunchHintGoesOnceAFolderIsStored) {
    kestrova::testing::ScopedFakeStatusBar bar;
    const auto hintRows = [](const KvMenu &menu) {
        return std::count_if(menu.items().begin(), menu.items().end(), [](const auto &row) {
            return row->attributedTitle() &&
                   row->attributedTitle()->text() == QStringLiteral("Add a folder to get started");
        });
    };
    // Folders in the main item's menu, added during the first run: the menu starts with the folders.
    folders = {makeFolder(QStringLiteral("Alpha"), true), makeFolder(QStringLiteral("Beta"), true)};
    MainMenuBarItem inMenu(binding(), /*showFoldersInMenu=*/true);
    KvMenu withFolders;
    inMenu.buildMenu(withFolders, /*isFirstLaunch=*/true);
    EXPECT_EQ(hintRows(withFolders), 0);
    const std::vector<QString> lead = titles(withFolders);
    ASSERT_GE(lead.size(), 3u);
    EXPECT_EQ((std::vector<QString>(lead.begin(), lead.begin() + 3)),
              (std::vector<QString>{QStringLiteral("-"), QStringLiteral("Alpha"), QStringLiteral("Beta")}));

    // Every stored folder hidden: the main item shows the application section, still without the hint.
    folders = {makeFolder(QStringLiteral("Hidden"), false)};
    MainMenuBarItem allHidden(binding(), /*showFoldersInMenu=*/false);
    KvMenu hidden;
    allHidden.buildMenu(hidden, /*isFirstLaunch=*/true);
    EXPECT_EQ(hintRows(hidden), 0);
    EXPECT_EQ(titles(hidden).at(1), QStringLiteral("Add Folder…"));

    folders.clear();
    KvMenu empty;
    allHidden.buildMenu(empty, /*isFirstLaunch=*/true);
    EXPECT_EQ(hintRows(empty), 1);
}

// With no browser registered, the links fail: each says so instead of doing nothing.
TEST_F(AppSectionTest, LinksThatNoApplicationOpensAreExplained) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    kestrova::testing::ScopedFakeStatusBar bar;
    UrlOpener::setHandler([this](const QUrl &url) {
        opened.push_back(url);
        return false;
    });
    MainMenuBarItem item(binding(), /*showFoldersInMenu=*/false);
    KvMenu first;
    item.buildMenu(first, /*isFirstLaunch=*/true);
    const auto faq = itemTitled(*MainMenuBarItem::moreMenu(), QStringLiteral("FAQ"))->submenu();
    ASSERT_TRUE(faq);
    const std::vector<std::shared_ptr<platform::MenuItem>> links{
        itemTitled(first, QStringLiteral("Guide")), itemTitled(first, QStringLiteral("Send Feedback…")),
        itemTitled(*faq, QStringLiteral("More…"))};
    for (std::size_t index = 0; index < links.size(); ++index) {
        ASSERT_TRUE(links[index]);
        EXPECT_TRUE(links[index]->performAction());
        ASSERT_TRUE(processEventsUntil([&] { return presenters.alerts().shownAlerts().size() == index + 1; }))
            << links[index]->title().toStdString();
        const platform::Alert &alert = presenters.alerts().shownAlerts().back();
        EXPECT_EQ(alert.messageText, QStringLiteral("The page could not be opened."));
        EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Install a web browser")));
        EXPECT_TRUE(alert.informativeText.contains(opened.back().toDisplayString()));
    }
    EXPECT_EQ(opened.size(), 3U);
}

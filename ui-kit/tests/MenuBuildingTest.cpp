#include "ui-kit/menus/MenuBuilding.h"
#include "ui-kit/utilities/AttributedTextHelpers.h"
#include "ui-kit/utilities/LimitedAppRuns.h"
#include "ui-kit/utilities/UrlOpener.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/InMemorySuite.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

using namespace kestrova;
using platform::Modifier;

namespace {

// Records the URLs the menus open instead of opening them.
class RecordedUrls {
public:
    RecordedUrls()
        : m_previous(UrlOpener::setHandler([this](const QUrl &url) {
            urls << url;
            return true;
        })) {}
    ~RecordedUrls() { UrlOpener::setHandler(m_previous); }
    QList<QUrl> urls;

private:
    UrlOpener::Handler m_previous;
};

} // namespace

TEST(MenuBuildingTest, ApplicationSectionItems) {
    RecordedUrls opened;
    auto menu = KvMenu::create();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Kestrova"));
    addQuitItem(*menu);
    EXPECT_EQ(addWebsiteItem(*menu, std::nullopt), nullptr);
    addWebsiteItem(*menu, QUrl(QStringLiteral("https://example.org/kestrova")))->performAction();
    addMoreAppsItem(*menu, QUrl(QStringLiteral("https://example.org/apps")))->performAction();
    addHeader(*menu, QStringLiteral("Show"), /*hasSeparator=*/true);
    EXPECT_EQ(menu->dump(), QStringLiteral("\"Quit Kestrova\" [key Command+Q]\n"
                                           "\"Website\"\n"
                                           "\"More Apps by Me\"\n"
                                           "-----\n"
                                           "\"Show\" [disabled]\n"));
    EXPECT_EQ(opened.urls, (QList<QUrl>{QUrl(QStringLiteral("https://example.org/kestrova")),
                                        QUrl(QStringLiteral("https://example.org/apps"))}));
    const auto header = menu->items().back();
    ASSERT_TRUE(header->attributedTitle());
    EXPECT_EQ(fontOf(*header->attributedTitle()).pointSizeF(), smallSystemFontSize());

    // A header made from styled text keeps each run's font and only changes its size.
    platform::AttributedText styled(QStringLiteral("Bold"), {.font = boldFont(systemFont())});
    styled.append(QStringLiteral(" plain"));
    setFontSize(styled, 9);
    ASSERT_EQ(styled.runs().size(), 2u);
    EXPECT_TRUE(styled.runs()[0].attributes.font->bold());
    EXPECT_FALSE(styled.runs()[1].attributes.font->bold());
    EXPECT_EQ(styled.runs()[1].attributes.font->pointSizeF(), 9);
    EXPECT_FALSE(styled.wholeStringFont());
    EXPECT_EQ(fontOf(styled), systemFont());
}

TEST(MenuBuildingTest, MoreItemAsAlternateIsASpacerAndAnOptionAlternate) {
    auto menu = KvMenu::create();
    const auto plain = addMoreItem(*menu, /*isAlternate=*/false);
    const auto alternate = addMoreItem(*menu, /*isAlternate=*/true);
    EXPECT_EQ(menu->numberOfItems(), 3u);
    EXPECT_EQ(menu->dump(), QStringLiteral("<image: More>\n"
                                           "<empty view> [disabled]\n"
                                           "<image: More> [alternate Option]\n"));
    EXPECT_FALSE(plain->image().isNull());
    EXPECT_FALSE(plain->hasAction());
    EXPECT_TRUE(alternate->isEnabled());
    // Both only hold the More submenu: a click on either keeps the menu open instead of closing it.
    EXPECT_FALSE(alternate->hasAction());
    // Without Option the spacer row shows; with it, the alternate.
    EXPECT_EQ(menu->displayedItems().back(), menu->items()[1]);
    EXPECT_EQ(menu->displayedItems(Modifier::option).back(), alternate);
}

TEST(MenuBuildingTest, SubmenusOfDisabledItemsStayEmpty) {
    platform::MenuItem enabled(QStringLiteral("Enabled"));
    withSubmenu(enabled, [](KvMenu &submenu) { addCallbackItem(submenu, QStringLiteral("Child"), [] {}); });
    ASSERT_TRUE(enabled.submenu());
    EXPECT_EQ(enabled.submenu()->numberOfItems(), 1u);
    EXPECT_NE(dynamic_cast<KvMenu *>(enabled.submenu().get()), nullptr);

    platform::MenuItem disabled(QStringLiteral("Disabled"));
    disabled.setEnabled(false);
    bool built = false;
    withSubmenu(disabled, [&](KvMenu &submenu) {
        built = true;
        addCallbackItem(submenu, QStringLiteral("Child"), [] {});
    });
    EXPECT_TRUE(built);
    ASSERT_TRUE(disabled.submenu());
    EXPECT_TRUE(disabled.submenu()->isEmpty());
    EXPECT_EQ(dynamic_cast<KvMenu *>(disabled.submenu().get()), nullptr);
}

TEST(MenuBuildingTest, ClearingLazySubmenuRebuildsOnEveryOpening) {
    auto root = KvMenu::create();
    auto holder = addCallbackItem(*root, QStringLiteral("Folder"), [] {});
    int builds = 0;
    QList<bool> changes;
    setLazySubmenu(
        *holder, /*clearsOnClose=*/true, [&](bool isOpen) { changes << isOpen; },
        [&] {
            ++builds;
            auto built = KvMenu::create();
            addCallbackItem(*built, QStringLiteral("Entry %1").arg(builds), [] {});
            return built;
        });
    const auto submenu = holder->submenu();
    ASSERT_NE(dynamic_cast<KvMenu *>(submenu.get()), nullptr);
    for (int opening = 1; opening <= 2; ++opening) {
        submenu->menuNeedsUpdate();
        submenu->menuWillOpen();
        EXPECT_EQ(root->dump(), QStringLiteral("\"Folder\" >\n  \"Entry %1\"\n").arg(opening));
        submenu->menuDidClose();
        ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return submenu->isEmpty(); }));
    }
    EXPECT_EQ(builds, 2);
    EXPECT_EQ(changes, (QList<bool>{false, true, false, true, false}));
}

TEST(MenuBuildingTest, TipsShowInTheAllowedRunsUntilDismissed) {
    const auto suite = kestrova::testing::makeInMemorySuite();
    const QString id = QStringLiteral("tip_folderMenu_clickToOpen");
    {
        LimitedAppRuns firstRun(suite);
        for (int menuBuild = 0; menuBuild < 3; ++menuBuild) {
            auto menu = KvMenu::create();
            const auto tip = addTipItem(*menu, QStringLiteral("Click to open"), id, /*maxRuns=*/1, firstRun);
            ASSERT_NE(tip, nullptr) << "build " << menuBuild;
            EXPECT_TRUE(tip->isEnabled());
            EXPECT_EQ(tip->attributedTitle()->wholeStringColor(), platform::TextColor::secondaryLabel());
            EXPECT_EQ(menu->dump(), QStringLiteral("\"Click to open\" >\n  \"Dismiss\"\n"));
        }
        EXPECT_EQ(firstRun.runCount(id), 1);
    }
    {
        LimitedAppRuns secondRun(suite);
        auto menu = KvMenu::create();
        EXPECT_EQ(addTipItem(*menu, QStringLiteral("Click to open"), id, 1, secondRun), nullptr);
        EXPECT_TRUE(menu->isEmpty());
        EXPECT_EQ(secondRun.runCount(id), 2);
    }
    // Two runs allowed, dismissed in the first: gone at once and in later runs.
    const QString twoRuns = QStringLiteral("tip_previewMenu_pressOptionKey6");
    {
        LimitedAppRuns run(suite);
        auto menu = KvMenu::create();
        const auto tip = addTipItem(*menu, QStringLiteral("Press Option"), twoRuns, 2, run);
        ASSERT_NE(tip, nullptr);
        EXPECT_TRUE(tip->submenu()->items().front()->performAction());
        EXPECT_EQ(addTipItem(*menu, QStringLiteral("Press Option"), twoRuns, 2, run), nullptr);
    }
    LimitedAppRuns laterRun(suite);
    EXPECT_FALSE(laterRun.shouldRun(twoRuns, 2));
    EXPECT_EQ(laterRun.runCount(twoRuns), std::numeric_limits<qint64>::max());
}

TEST(MenuBuildingTest, LimitedRunsCountEachRunOnce) {
    const auto suite = kestrova::testing::makeInMemorySuite();
    LimitedAppRuns run(suite);
    EXPECT_TRUE(run.shouldRun(QStringLiteral("hint"), 1, 1, /*oncePerRun=*/true));
    EXPECT_FALSE(run.shouldRun(QStringLiteral("hint"), 1, 1, /*oncePerRun=*/true));
    // Starting later: not in the first two runs, then in the third and fourth.
    QList<bool> answers;
    for (int runNumber = 1; runNumber <= 5; ++runNumber) {
        LimitedAppRuns fresh(suite);
        answers << fresh.shouldRun(QStringLiteral("late"), /*count=*/2, /*startingAt=*/3);
    }
    EXPECT_EQ(answers, (QList<bool>{false, false, true, true, false}));
    // A huge count does not overflow into a false answer.
    LimitedAppRuns another(suite);
    EXPECT_TRUE(another.shouldRun(QStringLiteral("forever"), std::numeric_limits<qint64>::max(), 1));
}

TEST(MenuBuildingTest, ToggleThenRunInvertsFirst) {
    bool flag = false;
    QList<bool> seen;
    const auto action =
        toggleThenRun(platform::Binding<bool>([&] { return flag; }, [&](const bool &value) { flag = value; }),
                      [&] { seen << flag; });
    action();
    action();
    EXPECT_EQ(seen, (QList<bool>{true, false}));
}

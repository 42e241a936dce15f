#include "menubar/MenuBarItem.h"

#include "foundation/app/KvApp.h"
#include "platform/status/SymbolImage.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeStatusBar.h"
#include "platform/testing/ImageInk.h"
#include "ui-kit/menus/KvMenu.h"

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::platform::StatusItemClick;
using kestrova::platform::SymbolImage;
using kestrova::testing::FakeStatusItem;
using kestrova::testing::inkBounds;
using kestrova::testing::processEventsUntil;
using kestrova::testing::ScopedFakeStatusBar;
using kestrova::testing::strongestInk;

namespace {

// A picture as large as a 22-pixel panel, so that the tray draws it pixel for pixel at that size.
QImage templateInk() {
    QImage image(22, 22, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (int x = 6; x < 16; ++x)
        image.setPixelColor(x, 11, Qt::black);
    return image;
}

QColor inkOf(const platform::StatusItemImage &image) {
    return image.render(22).pixelColor(11, 11);
}

MenuBarItem itemWithMenu(int *builds) {
    MenuBarItem item;
    item.id = QStringLiteral("mainItem");
    item.icon = StatusItemIcon::templateImage(templateInk());
    item.buildMenu = [builds](KvMenu &menu) {
        ++*builds;
        menu.addItem(std::make_shared<platform::MenuItem>(QStringLiteral("Row %1").arg(*builds)));
    };
    return item;
}

} // namespace

TEST(MenuBarItemTest, ValuesReachTheStatusItem) {
    ScopedFakeStatusBar bar;
    MenuBarItem value;
    value.title = QStringLiteral("Downloads");
    value.width = StatusItemWidth::fixed(22);
    value.appearsDisabled = true;
    MenuBarItemCoordinator coordinator(value);
    const auto item = bar.item(0);
    EXPECT_EQ(item->title(), QStringLiteral("Downloads"));
    EXPECT_EQ(coordinator.length(), 22);
    EXPECT_FALSE(item->image().isNull()) << "a title alone is drawn";

    value.id = QStringLiteral("folder-1");
    value.title.reset();
    value.width = StatusItemWidth::square();
    coordinator.update(value);
    EXPECT_EQ(item->autosaveName(), QStringLiteral("folder-1"));
    EXPECT_EQ(item->title(), KvApp::name());
    EXPECT_TRUE(item->image().isNull());
    EXPECT_EQ(coordinator.length(), -2);
    value.width = StatusItemWidth::variable();
    coordinator.update(value);
    EXPECT_EQ(coordinator.length(), -1);
    EXPECT_EQ(StatusItemWidth::fixed(22), StatusItemWidth::fixed(22));
    EXPECT_FALSE(StatusItemWidth::fixed(22) == StatusItemWidth::fixed(24));
    EXPECT_EQ(StatusItemWidth::square(), StatusItemWidth::square());
}

TEST(MenuBarItemTest, IconsAreTintedForThePanelAndRetintedAfterAPause) {
    ScopedFakeStatusBar bar;
    MenuBarItem value;
    value.icon = StatusItemIcon::templateImage(templateInk());
    value.lightIconColor = QColor(Qt::blue);
    MenuBarItemCoordinator coordinator(value);
    const auto item = bar.item(0);
    EXPECT_EQ(inkOf(item->image()), QColor(Qt::blue));

    // A dark panel without a dark colour keeps the light one; the change is applied once, after the pause.
    value.darkIconColor = QColor(Qt::yellow);
    coordinator.update(value);
    item->setPanelAppearance(SymbolImage::Appearance::dark);
    item->setPanelAppearance(SymbolImage::Appearance::dark);
    EXPECT_EQ(inkOf(item->image()), QColor(Qt::blue)) << "not before the pause";
    EXPECT_TRUE(processEventsUntil([&] { return inkOf(item->image()) == QColor(Qt::yellow); }));

    value.darkIconColor.reset();
    coordinator.update(value);
    EXPECT_EQ(inkOf(item->image()), QColor(Qt::blue));

    // Without colours a template takes the panel's ink; a bitmap keeps its own colours.
    value.lightIconColor.reset();
    coordinator.update(value);
    EXPECT_EQ(inkOf(item->image()), SymbolImage::templateColor(SymbolImage::Appearance::dark));
    QImage bitmap = templateInk();
    bitmap.setPixelColor(11, 11, Qt::green);
    value.icon = StatusItemIcon::bitmap(bitmap);
    value.lightIconColor = QColor(Qt::blue);
    coordinator.update(value);
    EXPECT_EQ(inkOf(item->image()), QColor(Qt::green));

    // A disabled look fades the icon.
    value.appearsDisabled = true;
    coordinator.update(value);
    EXPECT_NEAR(inkOf(item->image()).alphaF(), 0.5, 0.02);
    EXPECT_EQ(inkOf(item->image()).green(), 255);
}

TEST(MenuBarItemTest, TitlesAreDrawnIntoTheIconInItsColours) {
    ScopedFakeStatusBar bar;
    MenuBarItem value;
    value.title = QStringLiteral("Work Notes");
    value.lightIconColor = QColor(Qt::red);
    value.darkIconColor = QColor(Qt::yellow);
    MenuBarItemCoordinator coordinator(value);
    const auto item = bar.item(0);
    const QImage light = item->image().render(22);
    EXPECT_EQ(strongestInk(light), QColor(Qt::red));
    EXPECT_GE(inkBounds(light).width(), 11);
    item->setPanelAppearance(SymbolImage::Appearance::dark);
    EXPECT_TRUE(
        processEventsUntil([&] { return strongestInk(item->image().render(22)) == QColor(Qt::yellow); }));

    // Beside an icon the title is a badge: the picture alone when the title is empty.
    value.icon = StatusItemIcon::templateImage(templateInk());
    coordinator.update(value);
    const QImage badged = item->image().render(22);
    value.title = QString();
    coordinator.update(value);
    const QImage plain = item->image().render(22);
    EXPECT_NE(badged, plain);
    value.title.reset();
    coordinator.update(value);
    EXPECT_EQ(item->image().render(22), plain);
}

TEST(MenuBarItemTest, TheTrayNamesEveryItem) {
    ScopedFakeStatusBar bar;
    MenuBarItem value;
    value.icon = StatusItemIcon::templateImage(templateInk());
    MenuBarItemCoordinator coordinator(value);
    const auto item = bar.item(0);
    EXPECT_EQ(item->title(), QStringLiteral("Kestrova"));
    value.title = QString();
    coordinator.update(value);
    EXPECT_EQ(item->title(), QStringLiteral("Kestrova"));
    value.title = QStringLiteral("Downloads");
    coordinator.update(value);
    EXPECT_EQ(item->title(), QStringLiteral("Downloads"));
    // An icon-only folder has no title to show, but still its name.
    value.title.reset();
    value.toolTip = QStringLiteral("Projects");
    coordinator.update(value);
    EXPECT_EQ(item->title(), QStringLiteral("Projects"));
}

TEST(MenuBarItemTest, ClicksOpenTheMenuRebuiltFromScratch) {
    ScopedFakeStatusBar bar;
    int builds = 0;
    MenuBarItemCoordinator coordinator(itemWithMenu(&builds));
    const auto item = bar.item(0);
    EXPECT_EQ(builds, 0) << "nothing is built before the menu opens";

    item->click({StatusItemClick::Button::right});
    EXPECT_TRUE(coordinator.menu()->isOpen());
    EXPECT_EQ(builds, 1);
    item->closeMenu();
    item->click();
    EXPECT_EQ(builds, 2);
    ASSERT_EQ(coordinator.menu()->numberOfItems(), 1U) << "emptied before each rebuild";
    EXPECT_EQ(coordinator.menu()->items()[0]->title(), QStringLiteral("Row 2"));
    item->closeMenu();
    item->click({StatusItemClick::Button::middle});
    EXPECT_FALSE(coordinator.menu()->isOpen());

    // With an action as well, the action decides; right and modified clicks reach it.
    std::vector<StatusItemClick> clicks;
    MenuBarItem value = itemWithMenu(&builds);
    value.action = [&](const StatusItemClick &click) {
        clicks.push_back(click);
        return click.button == StatusItemClick::Button::left && !click.modifiers;
    };
    coordinator.update(value);
    item->click({StatusItemClick::Button::right});
    item->click({StatusItemClick::Button::left, platform::Modifier::option});
    EXPECT_FALSE(coordinator.menu()->isOpen());
    EXPECT_EQ(clicks.size(), 2U);
    item->click();
    EXPECT_TRUE(coordinator.menu()->isOpen());
    item->closeMenu();

    // An action without a menu: its answer opens nothing, and only plain left clicks reach it.
    value.buildMenu = {};
    value.action = [&](const StatusItemClick &click) {
        clicks.push_back(click);
        return true;
    };
    coordinator.update(value);
    clicks.clear();
    item->click();
    item->click({StatusItemClick::Button::right});
    EXPECT_EQ(clicks.size(), 1U);
    EXPECT_EQ(item->popUpCount, 3);
}

TEST(MenuBarItemTest, OpenStateFollowsTheBindingBothWays) {
    ScopedFakeStatusBar bar;
    int builds = 0;
    bool isOpen = false;
    std::vector<bool> written;
    MenuBarItem value = itemWithMenu(&builds);
    value.isMenuOpen = platform::Binding<bool>([&] { return isOpen; },
                                               [&](const bool &open) {
                                                   written.push_back(open);
                                                   isOpen = open;
                                               });
    MenuBarItemCoordinator coordinator(value);
    const auto item = bar.item(0);

    isOpen = true;
    coordinator.update(value);
    EXPECT_FALSE(coordinator.menu()->isOpen()) << "applied on a later turn";
    ASSERT_TRUE(processEventsUntil([&] { return coordinator.menu()->isOpen(); }));
    EXPECT_EQ(written, std::vector<bool>{true});

    isOpen = false;
    coordinator.update(value);
    ASSERT_TRUE(processEventsUntil([&] { return !coordinator.menu()->isOpen(); }));
    EXPECT_EQ(item->closeCount, 1);

    item->click();
    item->closeMenu();
    EXPECT_EQ(written, (std::vector<bool>{true, false, true, false}));
}

TEST(MenuBarItemTest, RegistryListsLiveItemsInOrderOfCreation) {
    ScopedFakeStatusBar bar;
    const std::size_t before = statusItemRegistry().size();
    auto first = std::make_unique<MenuBarItemCoordinator>(MenuBarItem{});
    auto second = std::make_unique<MenuBarItemCoordinator>(MenuBarItem{});
    auto third = std::make_unique<MenuBarItemCoordinator>(MenuBarItem{});
    auto live = statusItemRegistry();
    ASSERT_EQ(live.size(), before + 3);
    EXPECT_EQ(live[before], first->statusItem());
    EXPECT_EQ(live[before + 2], third->statusItem());

    const std::weak_ptr<platform::StatusItem> secondItem = second->statusItem();
    live.clear();
    second.reset();
    EXPECT_TRUE(secondItem.expired()) << "the item leaves the tray with its coordinator";
    live = statusItemRegistry();
    ASSERT_EQ(live.size(), before + 2);
    EXPECT_EQ(live[before], first->statusItem());
    EXPECT_EQ(live[before + 1], third->statusItem());
}

TEST(MenuBarItemTest, HiddenFromMenuBarMeansNoTrayOrNoPlace) {
    ScopedFakeStatusBar bar;
    MenuBarItemCoordinator coordinator(MenuBarItem{});
    const auto item = bar.item(0);
    item->trayGeometry = QRect(0, 0, 22, 22);
    EXPECT_FALSE(item->isHiddenFromMenuBar());
    item->trayGeometry = QRect();
    EXPECT_TRUE(item->isHiddenFromMenuBar());
    item->geometryKnown = false;
    EXPECT_FALSE(item->isHiddenFromMenuBar()) << "a host that keeps icon places to itself hides nothing";
    item->geometryKnown = true;
    item->trayGeometry = QRect(0, 0, 22, 22);
    item->trayAvailable = false;
    EXPECT_TRUE(item->isHiddenFromMenuBar());
    item->setVisible(false);
    EXPECT_FALSE(item->isHiddenFromMenuBar()) << "switched off is not pushed out";
}

#include "platform/desktop/tray/PopupPlacement.h"

#include <gtest/gtest.h>

using kestrova::platform::desktop::pointInPanel;
using kestrova::platform::desktop::popupPositionBesidePanel;
using kestrova::platform::desktop::ScreenArea;

namespace {

// A 1920x1080 monitor with a 30-pixel panel on one side, or none.
ScreenArea monitor(const QString &panel, int left = 0) {
    const QRect screen(left, 0, 1920, 1080);
    QRect free = screen;
    if (panel == QStringLiteral("top"))
        free.setTop(30);
    else if (panel == QStringLiteral("bottom"))
        free.setBottom(1080 - 30 - 1);
    else if (panel == QStringLiteral("left"))
        free.setLeft(left + 30);
    else if (panel == QStringLiteral("right"))
        free.setRight(left + 1920 - 30 - 1);
    return {screen, free};
}

struct Case {
    const char *name;
    std::vector<ScreenArea> screens;
    QPoint click;
    QSize menu;
    QPoint expected;
};

// A menu opened from an embedded icon: where it goes, and never over the icon's part on the screen.
struct IconCase {
    const char *name;
    ScreenArea screen;
    QRect icon;
    QPoint expected;
};

void expectPlacedBesideTheTray(const std::vector<IconCase> &cases, const QSize &menu) {
    for (const IconCase &entry : cases) {
        const QPoint position = popupPositionBesidePanel(entry.icon, menu, {entry.screen});
        EXPECT_EQ(position, entry.expected) << entry.name;
        EXPECT_TRUE(entry.screen.geometry.contains(QRect(position, menu))) << entry.name;
        EXPECT_FALSE(QRect(position, menu).intersects(entry.icon.intersected(entry.screen.geometry)))
            << entry.name;
    }
}

} // namespace

TEST(PopupPlacementTest, TheMenuGoesAgainstThePanelItWasOpenedFromNeverOverIt) {
    const QSize menu(200, 300);
    const std::vector<Case> cases{
        {"top panel: below it, at the click's x", {monitor("top")}, {1265, 15}, menu, {1265, 30}},
        {"top panel, click at the right end: kept on the screen",
         {monitor("top")},
         {1910, 15},
         menu,
         {1720, 30}},
        {"bottom panel: above it", {monitor("bottom")}, {800, 1065}, menu, {800, 1050 - 300}},
        {"left panel: beside it, at the click's y", {monitor("left")}, {12, 400}, menu, {30, 400}},
        {"left panel, click near the bottom: kept on the screen",
         {monitor("left")},
         {12, 1000},
         menu,
         {30, 780}},
        {"right panel: beside it", {monitor("right")}, {1905, 400}, menu, {1890 - 200, 400}},
        {"no panel under the click: below the point", {monitor("top")}, {500, 500}, menu, {500, 500}},
        {"no room below the point: above it", {monitor("none")}, {500, 900}, menu, {500, 600}},
        {"no work area, a click near the top edge: past a panel as thick again as the click is deep",
         {monitor("none")},
         {1265, 15},
         menu,
         {1265, 30}},
        {"no work area, a click near the bottom edge", {monitor("none")}, {800, 1065}, menu, {800, 750}},
        {"no work area, a click near the right edge", {monitor("none")}, {1905, 400}, menu, {1690, 400}},
        {"second monitor's top panel", {monitor("none"), monitor("top", 1920)}, {2500, 10}, menu, {2500, 30}},
        {"second monitor's right panel: not on the first monitor",
         {monitor("none"), monitor("right", 1920)},
         {3830, 200},
         menu,
         {3810 - 200, 200}},
        {"first monitor's bottom panel beside a second monitor",
         {monitor("bottom"), monitor("none", 1920)},
         {1900, 1070},
         menu,
         {1720, 750}},
        {"menu taller than the free area: starts below the top panel",
         {monitor("top")},
         {100, 10},
         {200, 2000},
         {100, 30}},
        {"menu taller than the free area over a bottom panel: starts at the top",
         {monitor("bottom")},
         {100, 1070},
         {200, 2000},
         {100, 0}},
        {"menu wider than the free area beside a left panel",
         {monitor("left")},
         {5, 10},
         {3000, 100},
         {30, 10}},
        {"a point off every screen: the nearest one",
         {monitor("top"), monitor("none", 1920)},
         {-50, 15},
         menu,
         {0, 30}},
    };
    for (const Case &entry : cases)
        EXPECT_EQ(popupPositionBesidePanel(entry.click, entry.menu, entry.screens), entry.expected)
            << entry.name;

    // Nothing known about the screens: the click point itself.
    EXPECT_EQ(popupPositionBesidePanel({40, 50}, menu, {}), QPoint(40, 50));
}

TEST(PopupPlacementTest, WithoutAWorkAreaThePanelsStrutsSayWhatIsFree) {
    using kestrova::platform::desktop::availableAreaBesideStruts;
    using kestrova::platform::desktop::PanelStrut;
    // Two monitors side by side, the right one shorter: the desktop is the box around both.
    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 720);
    const QRect desktop = left.united(right);
    PanelStrut topOfLeft;
    topOfLeft.top = {32, 0, 1919};
    PanelStrut bottomOfLeft;
    bottomOfLeft.bottom = {40, 100, 1800};
    PanelStrut sideOfRight;
    sideOfRight.right = {48, 0, 719};

    EXPECT_EQ(availableAreaBesideStruts(left, desktop, {}), left);
    EXPECT_EQ(availableAreaBesideStruts(left, desktop, {topOfLeft, bottomOfLeft, sideOfRight}),
              QRect(QPoint(0, 32), QPoint(1919, 1039)));
    // The top panel spans only the left monitor; the side panel sits at the desktop's right edge.
    EXPECT_EQ(availableAreaBesideStruts(right, desktop, {topOfLeft, bottomOfLeft, sideOfRight}),
              QRect(QPoint(1920, 0), QPoint(3199 - 48, 719)));
    // A panel on the right monitor's top edge.
    PanelStrut topOfRight;
    topOfRight.top = {32, 1920, 3199};
    EXPECT_EQ(availableAreaBesideStruts(right, desktop, {topOfRight}).top(), 32);
    EXPECT_EQ(availableAreaBesideStruts(left, desktop, {topOfRight}), left);
    // Struts that would leave nothing are not believed.
    PanelStrut huge;
    huge.top = {2000, 0, 3199};
    EXPECT_EQ(availableAreaBesideStruts(left, desktop, {huge}), left);

    // The menu opened from the top panel then goes below it, never over it.
    const ScreenArea screen{left, availableAreaBesideStruts(left, desktop, {topOfLeft})};
    EXPECT_EQ(popupPositionBesidePanel({1265, 15}, {200, 300}, {screen}), QPoint(1265, 32));
}

TEST(PopupPlacementTest, TheMenuOfAnEmbeddedIconNeverCoversTheTrayItSitsIn) {
    const QSize menu(200, 300);
    const std::vector<IconCase> cases{
        // A tray that keeps no room: nothing but the icon says where the tray is.
        {"top left corner: below the icon, not over its last row", monitor("none"), {0, 0, 32, 32}, {0, 32}},
        {"bottom left corner: above the icon", monitor("none"), {0, 1048, 32, 32}, {0, 1048 - 300}},
        {"bottom edge, a 24-pixel icon in a 32-pixel tray: above the tray",
         monitor("none"),
         {600, 1052, 24, 24},
         {600, 1048 - 300}},
        {"right edge: beside the tray", monitor("none"), {1888, 500, 32, 32}, {1888 - 200, 500}},
        {"bottom right corner: above the tray, kept on the screen",
         monitor("none"),
         {1888, 1048, 32, 32},
         {1720, 1048 - 300}},
        // A tray in a panel that the work area knows: against the work area.
        {"top panel taller than the icon", monitor("top"), {900, 3, 24, 24}, {900, 30}},
        {"bottom panel", monitor("bottom"), {900, 1053, 24, 24}, {900, 1050 - 300}},
        {"left panel", monitor("left"), {3, 500, 24, 24}, {30, 500}},
        // An icon away from every edge is no panel's.
        {"mid-screen: below the icon", monitor("none"), {900, 500, 24, 24}, {900, 524}},
    };
    expectPlacedBesideTheTray(cases, menu);
}

TEST(PopupPlacementTest, ATrayWiderThanTheScreenStillHasItsMenusBelowOrAboveIt) {
    const QSize menu(200, 300);
    // A thousand 22-pixel icons in a 32-pixel tray along the top (or bottom) edge run far past the right
    // edge: an icon cut by the edge, and one wholly past it, are in the tray, not in a panel beyond the side.
    const std::vector<IconCase> cases{
        {"top tray, icon cut by the right edge", monitor("none"), {1909, 1, 22, 30}, {1720, 32}},
        {"top tray, icon far past the right edge", monitor("none"), {21979, 1, 22, 30}, {1720, 32}},
        {"top panel in the work area, icon past the edge", monitor("top"), {5000, 1, 22, 28}, {1720, 30}},
        {"bottom tray, icon past the right edge", monitor("none"), {8000, 1049, 22, 30}, {1720, 748}},
        {"left tray running past the bottom edge", monitor("none"), {1, 4000, 30, 22}, {32, 780}},
    };
    expectPlacedBesideTheTray(cases, menu);
}

TEST(PopupPlacementTest, AMenuOpenedBeforeAnyClickGoesToThePanelsFarEndNotMidScreen) {
    const QSize menu(200, 300);
    // From the point in the panel, the menu opens against the panel, at its far end.
    const auto opened = [&](const std::vector<ScreenArea> &screens) {
        return popupPositionBesidePanel(pointInPanel(screens), menu, screens);
    };
    EXPECT_EQ(opened({monitor("top")}), QPoint(1720, 30));
    EXPECT_EQ(opened({monitor("bottom")}), QPoint(1720, 750));
    EXPECT_EQ(opened({monitor("left")}), QPoint(30, 780));
    EXPECT_EQ(opened({monitor("right")}), QPoint(1690, 780));
    // The panel is on the second monitor only.
    EXPECT_EQ(opened({monitor("none"), monitor("top", 1920)}), QPoint(3640, 30));
    // No panel at all: the top right corner.
    EXPECT_EQ(opened({monitor("none")}), QPoint(1720, 0));
}

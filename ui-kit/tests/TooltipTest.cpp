// The explanatory bubbles as a window shows them: the tooltip with its once-per-identifier counter, anchored
// at the widget it explains, and the help button's popover.
#include "ui-kit/windows/InfoPopoverButton.h"
#include "ui-kit/windows/Tooltip.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/InMemorySuite.h"
#include "store/Defaults.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::testing::processEventsUntil;

namespace {

class AnchorWindow {
public:
    AnchorWindow() {
        auto *layout = new QVBoxLayout(&window);
        anchor = new QPushButton(QStringLiteral("Folder"));
        layout->addWidget(anchor);
        window.move(100, 100);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QRect anchorOnScreen() const { return {anchor->mapToGlobal(QPoint()), anchor->size()}; }

    QWidget window;
    QPushButton *anchor = nullptr;
};

} // namespace

TEST(TooltipTest, ShowsOncePerIdentifierEverWhenAskedAndCountsEveryShowing) {
    const auto suite = kestrova::testing::makeInMemorySuite();
    AnchorWindow window;
    {
        Tooltip once(QStringLiteral("welcome"), QStringLiteral("Click to open"),
                     {.showOnlyOnce = true, .suite = suite});
        EXPECT_TRUE(once.showFor(window.anchor));
        EXPECT_TRUE(once.isShown());
        once.close();
        EXPECT_FALSE(once.showFor(window.anchor));
        EXPECT_FALSE(once.isShown());
    }
    // Another run: the stored counter still forbids it.
    Tooltip again(QStringLiteral("welcome"), QStringLiteral("Click to open"),
                  {.showOnlyOnce = true, .suite = suite});
    EXPECT_FALSE(again.showFor(window.anchor));
    EXPECT_EQ(Defaults::get(Defaults::Key<std::int64_t>(QStringLiteral("Kv_Tooltip_welcome"), 0, suite)), 1);

    Tooltip repeated(QStringLiteral("other"), QStringLiteral("Again"), {.suite = suite});
    EXPECT_TRUE(repeated.showFor(window.anchor));
    EXPECT_TRUE(repeated.showFor(window.anchor));
    EXPECT_EQ(repeated.showCount(), 2);

    // An anchor that is not on screen shows nothing and counts nothing.
    QPushButton hidden;
    Tooltip unseen(QStringLiteral("unseen"), QStringLiteral("x"), {.suite = suite});
    EXPECT_FALSE(unseen.showFor(&hidden));
    EXPECT_EQ(unseen.showCount(), 0);
}

TEST(TooltipTest, HangsBelowItsAnchorAndFollowsItsWindow) {
    const auto suite = kestrova::testing::makeInMemorySuite();
    AnchorWindow window;
    Tooltip tooltip(QStringLiteral("placed"), QStringLiteral("Explains the folder button"),
                    {.maxWidth = 1000, .contentInsets = QMargins(15, 15, 15, 15), .suite = suite});
    ASSERT_TRUE(tooltip.showFor(window.anchor));
    const auto bubble = [&] { return tooltip.popover()->frameGeometry(); };
    EXPECT_EQ(bubble().top(), window.anchorOnScreen().bottom() + 1);
    EXPECT_NEAR(bubble().center().x(), window.anchorOnScreen().center().x(), 2);
    EXPECT_LE(tooltip.popover()->content()->width(), 970);

    window.window.move(200, 150);
    ASSERT_TRUE(processEventsUntil([&] { return bubble().top() == window.anchorOnScreen().bottom() + 1; }));
    window.window.hide();
    EXPECT_TRUE(processEventsUntil([&] { return !tooltip.isShown(); }));

    // Nothing to hang from (a tray that says nowhere): near the right end of the screen's top.
    ASSERT_TRUE(tooltip.showBelow(QRect()));
    const QRect screen = tooltip.popover()->screen()->availableGeometry();
    EXPECT_NEAR(bubble().center().x(), std::min(screen.right() - 59, screen.right() - bubble().width() / 2),
                2);
}

TEST(TooltipTest, AClickClosesTheBubbleFirstThenRunsTheCallersAction) {
    const auto suite = kestrova::testing::makeInMemorySuite();
    AnchorWindow window;
    std::vector<QString> events;
    Tooltip closing(QStringLiteral("closing"), QStringLiteral("Click me"),
                    {.closeOnClick = true,
                     .onClick = [&] { events.push_back(QStringLiteral("action")); },
                     .suite = suite});
    QObject::connect(&closing, &Tooltip::closed, [&] { events.push_back(QStringLiteral("closed")); });
    ASSERT_TRUE(closing.showFor(window.anchor));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(closing.popover()));
    QTest::mouseClick(closing.popover(), Qt::LeftButton, {}, closing.popover()->rect().center());
    EXPECT_EQ(events, (std::vector<QString>{"closed", "action"}));

    int clicks = 0;
    Tooltip staying(QStringLiteral("staying"), QStringLiteral("Stays"),
                    {.closeOnClick = false, .onClick = [&] { ++clicks; }, .suite = suite});
    ASSERT_TRUE(staying.showFor(window.anchor));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(staying.popover()));
    QTest::mouseClick(staying.popover(), Qt::LeftButton, {}, staying.popover()->rect().center());
    QTest::mouseClick(window.anchor, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(staying.isShown());
}

TEST(InfoPopoverButtonTest, AClickShowsTheExplanationBelowTheButtonEveryTime) {
    std::vector<bool> actions;
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    const QString text =
        QStringLiteral("A symbol is drawn in the menu bar's own colour; a custom image keeps its "
                       "colours unless it is a template. ")
            .repeated(3);
    auto *help = new InfoPopoverButton(text, 300, [&](bool shown) { actions.push_back(shown); });
    layout->addWidget(help);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(help, Qt::LeftButton);
    ASSERT_TRUE(processEventsUntil([&] { return help->isPopoverPresented(); }));
    const auto *label = qobject_cast<QLabel *>(help->popover()->content());
    ASSERT_NE(label, nullptr);
    EXPECT_LE(label->width(), 300);
    EXPECT_GT(label->height(), label->fontMetrics().height() * 2);
    EXPECT_GE(help->popover()->y(), help->mapToGlobal(QPoint()).y() + help->height());
    help->popover()->hide();
    QTest::mouseClick(help, Qt::LeftButton);
    EXPECT_EQ(actions, (std::vector<bool>{true, true}));
}

#include "ui-kit/windows/SwiftUIWindowForMenuBarApp.h"
#include "ui-kit/windows/WindowAccessor.h"
#include "ui-kit/windows/WindowHelpers.h"

#include "WindowTestSupport_p.h"
#include "platform/testing/EventLoop.h"

#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::processEventsUntil;

class WindowHelpersTest : public ::testing::Test {
protected:
    testing::QuickWindowAnimations m_quickAnimations;
};

std::unique_ptr<SwiftUIWindowForMenuBarApp> windowWithContent() {
    auto window = std::make_unique<SwiftUIWindowForMenuBarApp>();
    auto *layout = new QVBoxLayout(window.get());
    layout->addWidget(new QLabel(QStringLiteral("Drag the folder here")));
    window->setGeometry(300, 300, 400, 250);
    return window;
}

TEST_F(WindowHelpersTest, AFadeInEndsOpaqueAndReducedMotionSkipsTheAnimation) {
    auto window = windowWithContent();
    bool finished = false;
    auto task = showWindow(window.get(), {.fadeIn = true});
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowOpacity(), 0.0);
    task.then([&] { finished = true; });
    ASSERT_TRUE(processEventsUntil([&] { return finished; }));
    EXPECT_EQ(window->windowOpacity(), 1.0);

    setReduceMotionOverride(true);
    window->setWindowOpacity(0);
    finished = false;
    fadeIn(window.get(), std::chrono::milliseconds(500), std::chrono::milliseconds(0)).then([&] {
        finished = true;
    });
    // No animation: the window is opaque as soon as the (empty) delay is over.
    EXPECT_TRUE(finished);
    EXPECT_EQ(window->windowOpacity(), 1.0);
}

TEST_F(WindowHelpersTest, AWindowDestroyedDuringItsFadeEndsTheTask) {
    auto window = windowWithContent();
    bool finished = false;
    showWindow(window.get(), {.fadeIn = true}).then([&] { finished = true; });
    window.reset();
    EXPECT_TRUE(processEventsUntil([&] { return finished; }));
}

TEST_F(WindowHelpersTest, FlyingIntoATargetShrinksTowardsItThenCloses) {
    auto window = windowWithContent();
    window->show();
    const QRect tray(900, 0, 24, 24);
    std::optional<QRect> lastGeometry;
    int completions = 0;
    QObject::connect(window.get(), &SwiftUIWindowForMenuBarApp::windowWillClose, window.get(),
                     [&] { lastGeometry = window->geometry(); });
    animateInto(
        window.get(), [&] { return std::optional<QRect>(tray); }, [&] { ++completions; });
    ASSERT_TRUE(processEventsUntil([&] { return completions == 1; }));
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(lastGeometry);
    // Half the target's size, its bottom-left corner just inside the target's bottom-left corner.
    EXPECT_EQ(lastGeometry->size(), QSize(12, 12));
    EXPECT_EQ(lastGeometry->left(), tray.left() + 7);
    EXPECT_EQ(lastGeometry->top() + lastGeometry->height(), tray.top() + tray.height() - 5);
    EXPECT_LT(window->windowOpacity(), 1.0);
}

TEST_F(WindowHelpersTest, WithoutATargetTheWindowFadesInPlaceAndTheCompletionAlwaysRuns) {
    auto window = windowWithContent();
    window->show();
    const QRect start = window->geometry();
    int completions = 0;
    animateInto(
        window.get(), [] { return std::optional<QRect>(); }, [&] { ++completions; });
    ASSERT_TRUE(processEventsUntil([&] { return completions == 1; }));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->geometry(), start);
    EXPECT_EQ(window->windowOpacity(), 0.0);

    // Destroyed mid-flight: nothing is left to close, the completion still runs once.
    auto doomed = windowWithContent();
    doomed->show();
    completions = 0;
    animateInto(
        doomed.get(), [] { return std::optional<QRect>(QRect(10, 0, 20, 20)); }, [&] { ++completions; });
    doomed.reset();
    EXPECT_TRUE(processEventsUntil([&] { return completions == 1; }));

    // Reduced motion: closed after the pause without moving or fading, and the target is not even asked.
    setReduceMotionOverride(true);
    auto still = windowWithContent();
    still->show();
    const QRect stillStart = still->geometry();
    bool targetAsked = false;
    bool closed = false;
    animateIntoAsync(still.get(), [&] {
        targetAsked = true;
        return std::optional<QRect>(QRect(10, 0, 20, 20));
    }).then([&] { closed = true; });
    ASSERT_TRUE(processEventsUntil([&] { return closed; }));
    EXPECT_FALSE(still->isVisible());
    EXPECT_FALSE(targetAsked);
    EXPECT_EQ(still->geometry(), stillStart);
    EXPECT_EQ(still->windowOpacity(), 1.0);
}

TEST_F(WindowHelpersTest, ToggleClosesOnlyAnActiveWindow) {
    auto window = windowWithContent();
    toggle(window.get());
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(processEventsUntil([&] { return window->isActiveWindow(); }));

    // A visible window that is not active is brought forward, not closed.
    auto other = windowWithContent();
    bringToFront(other.get());
    ASSERT_TRUE(processEventsUntil([&] { return other->isActiveWindow(); }));
    toggle(window.get());
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(processEventsUntil([&] { return window->isActiveWindow(); }));

    toggle(window.get());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowHelpersTest, SnapshotIsNeverNull) {
    auto window = windowWithContent();
    window->show();
    const QImage content = snapshot(window.get(), /*includingFrame=*/false);
    EXPECT_EQ(content.size(), window->size() * window->devicePixelRatio());
    EXPECT_FALSE(snapshot(window.get(), /*includingFrame=*/true).isNull());

    QWidget empty;
    empty.resize(0, 0);
    EXPECT_FALSE(snapshot(&empty, /*includingFrame=*/false).isNull());
}

TEST_F(WindowHelpersTest, LevelsBecomeStackingHints) {
    auto window = windowWithContent();
    window->show();
    setWindowLevel(window.get(), WindowLevel::floating);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window->isVisible());
    setWindowLevel(window.get(), WindowLevel::desktop);
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnBottomHint));
    setWindowLevel(window.get(), WindowLevel::normal);
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnBottomHint));
    EXPECT_TRUE(window->isVisible());
}

TEST(MenuBarMetricsTest, DockHeightAndHiddenPanelFromTheScreenRectangles) {
    const QRect screen(0, 0, 1920, 1080);
    // A 27-pixel top panel and a 48-pixel dock.
    const QRect withBoth(0, 27, 1920, 1080 - 27 - 48);
    EXPECT_EQ(MenuBarMetrics::dockHeight(screen, withBoth), 48);
    EXPECT_FALSE(MenuBarMetrics::isMenuBarHidden(screen, withBoth));
    // No room kept at the bottom is no dock, and counts as 0.
    const QRect panelOnly(0, 27, 1920, 1053);
    EXPECT_EQ(MenuBarMetrics::dockHeight(screen, panelOnly), std::nullopt);
    EXPECT_FALSE(MenuBarMetrics::isMenuBarHidden(screen, panelOnly));
    // Less room at the top than a panel takes: hidden.
    EXPECT_TRUE(MenuBarMetrics::isMenuBarHidden(screen, QRect(0, 0, 1920, 1032)));
    EXPECT_TRUE(MenuBarMetrics::isMenuBarHidden(screen, QRect(0, 24, 1920, 1056)));
    EXPECT_EQ(MenuBarMetrics::menuBarHeight(), 24);
}

TEST(SettingsWindowTest, OpensOnALaterTurn) {
    int opened = 0;
    setSettingsWindowOpener([&] { ++opened; });
    showSettingsWindowAsync();
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(processEventsUntil([&] { return opened == 1; }));
    setSettingsWindowOpener({});
}

TEST(WindowAccessorTest, ReachesTheHostingWindowAndConfiguresIt) {
    SwiftUIWindowForMenuBarApp window;
    auto *layout = new QVBoxLayout(&window);
    auto *view = new QLabel(QStringLiteral("Settings"));
    layout->addWidget(view);
    std::vector<QWidget *> reported;
    accessHostingWindow(view, [&](QWidget *hosting) { reported.push_back(hosting); });
    windowTitle(view, QStringLiteral("Folder"));
    windowIsResizable(view, false);
    int appeared = 0;
    int disappeared = 0;
    bool onScreen = false;
    new AppearOnScreenView(
        view, [&] { ++appeared; }, [&] { ++disappeared; },
        platform::Binding<bool>([&] { return onScreen; }, [&](const bool &value) { onScreen = value; }));

    ASSERT_EQ(reported, std::vector<QWidget *>{nullptr});
    window.resize(320, 200);
    window.show();
    EXPECT_EQ(reported.back(), &window);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Folder"));
    EXPECT_EQ(window.minimumSize(), QSize(320, 200));
    EXPECT_EQ(window.maximumSize(), QSize(320, 200));
    EXPECT_TRUE(onScreen);
    EXPECT_EQ(appeared, 1);

    window.hide();
    EXPECT_EQ(reported.back(), nullptr);
    EXPECT_FALSE(onScreen);
    EXPECT_EQ(disappeared, 1);
}

} // namespace
} // namespace kestrova

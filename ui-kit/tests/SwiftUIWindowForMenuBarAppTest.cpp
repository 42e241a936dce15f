#include "ui-kit/windows/SwiftUIPanelForMenuBarApp.h"
#include "ui-kit/windows/SwiftUIWindow.h"
#include "ui-kit/windows/SwiftUIWindowForMenuBarApp.h"

#include "platform/testing/EventLoop.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

// Shows the window and waits until it is the active one, as a window the user clicked into is.
void showActive(QWidget &window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// A window whose drop-down list has the focus, as in the settings windows.
struct WindowWithDropDown {
    SwiftUIWindowForMenuBarApp window;
    QComboBox *dropDown = new QComboBox(&window);
    WindowWithDropDown() {
        dropDown->addItems({QStringLiteral("Name"), QStringLiteral("Date Modified")});
        (new QVBoxLayout(&window))->addWidget(dropDown);
        showActive(window);
        dropDown->setFocus();
    }
};

TEST(SwiftUIWindowForMenuBarAppTest, CtrlWClosesAndCtrlMMinimisesOnlyWithExactlyControl) {
    SwiftUIWindowForMenuBarApp window;
    QSignalSpy closing(&window, &SwiftUIWindowForMenuBarApp::windowWillClose);
    showActive(window);

    QTest::keyClick(&window, Qt::Key_W, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(&window, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&window, Qt::Key_W);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(closing.count(), 0);

    // A key on the keypad still counts as the plain key.
    QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_TRUE(window.isMinimized());
    window.showNormal();
    showActive(window);

    QTest::keyClick(&window, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(closing.count(), 1);
}

TEST(SwiftUIWindowForMenuBarAppTest, WindowKeysWorkWhileADropDownListHasTheFocus) {
    WindowWithDropDown minimized;
    ASSERT_TRUE(minimized.dropDown->hasFocus());
    // Through the window, as the desktop delivers a key press.
    QTest::keyClick(minimized.window.windowHandle(), Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(minimized.window.isMinimized());
    EXPECT_EQ(minimized.dropDown->currentIndex(), 0) << "the key must not reach the list";

    WindowWithDropDown closed;
    QSignalSpy closing(&closed.window, &SwiftUIWindowForMenuBarApp::windowWillClose);
    // A plain letter still goes to the list: it picks the entry starting with it.
    QTest::keyClick(closed.dropDown, Qt::Key_D);
    EXPECT_EQ(closed.dropDown->currentIndex(), 1);
    EXPECT_TRUE(closed.window.isVisible());
    QTest::keyClick(closed.dropDown, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(closed.window.isVisible());
    EXPECT_EQ(closing.count(), 1);
}

TEST(SwiftUIWindowForMenuBarAppTest, EscapeClosesOnlyWhenAskedAndTheWindowAlwaysSwallowsIt) {
    QWidget host;
    auto *window = new SwiftUIWindowForMenuBarApp(&host);
    window->show();
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());

    window->shouldCloseOnEscapePress = true;
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());

    SwiftUIPanelForMenuBarApp panel;
    showActive(panel);
    QTest::keyClick(&panel, Qt::Key_Escape);
    EXPECT_TRUE(panel.isVisible());
    QTest::keyClick(&panel, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(panel.isVisible());
}

TEST(SwiftUIWindowForMenuBarAppTest, ClosingTheLastWindowLeavesTheApplicationRunning) {
    ASSERT_FALSE(QApplication::quitOnLastWindowClosed());
    auto window = std::make_unique<SwiftUIWindowForMenuBarApp>();
    showActive(*window);

    // Inside a running event loop: had the close quit the application, exec would end with 0.
    QTimer::singleShot(0, window.get(), [&] {
        QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
        // A few more turns, so that a quit the close may have posted is handled first.
        QTimer::singleShot(0, qApp, [] {
            QTimer::singleShot(0, qApp,
                               [] { QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(7); }); });
        });
    });
    EXPECT_EQ(QCoreApplication::exec(), 7);
    EXPECT_FALSE(window->isVisible());
}

TEST(SwiftUIWindowTest, ConstrainedFrameStaysOnItsOwnScreen) {
    const QRect primary(0, 0, 1000, 800);
    EXPECT_EQ(SwiftUIWindow::constrainedFrame(QRect(100, 100, 300, 200), primary), QRect(100, 100, 300, 200));
    // Wider than the screen: the screen's width at its left edge.
    EXPECT_EQ(SwiftUIWindow::constrainedFrame(QRect(300, 100, 1200, 200), primary), QRect(0, 100, 1000, 200));
    // Sticking out at the right and bottom: moved back in.
    EXPECT_EQ(SwiftUIWindow::constrainedFrame(QRect(900, 700, 300, 200), primary), QRect(700, 600, 300, 200));
    EXPECT_EQ(SwiftUIWindow::constrainedFrame(QRect(-50, -20, 300, 200), primary), QRect(0, 0, 300, 200));

    // A second screen to the right of the first keeps the window on it.
    const QRect secondary(1000, 0, 800, 600);
    EXPECT_EQ(SwiftUIWindow::constrainedFrame(QRect(1700, 100, 300, 200), secondary),
              QRect(1500, 100, 300, 200));
    EXPECT_EQ(SwiftUIWindow::constrainedFrame(QRect(1200, 50, 900, 200), secondary),
              QRect(1000, 50, 800, 200));
}

TEST(SwiftUIWindowTest, ContentGoesWithTheWindowAndEscapeClosesOnlyWhenAsked) {
    QPointer<QLabel> content = new QLabel(QStringLiteral("Content"));
    SwiftUIWindow window(content,
                         {.constrainWindowToScreen = false, .canBecomeKey = true, .closeOnEsc = false});
    window.show();
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());

    QPointer<QLabel> secondContent = new QLabel(QStringLiteral("Content"));
    SwiftUIWindow closable(secondContent, {.closeOnEsc = true});
    closable.show();
    QTest::keyClick(&closable, Qt::Key_Escape);
    EXPECT_FALSE(closable.isVisible());
    EXPECT_TRUE(testing::processEventsUntil([&] { return secondContent.isNull(); }));
    EXPECT_FALSE(content.isNull());

    SwiftUIWindow unfocusable(nullptr, {.canBecomeKey = false});
    EXPECT_TRUE(unfocusable.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
}

} // namespace
} // namespace kestrova

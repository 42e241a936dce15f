#include "ui-kit/windows/SwiftUIPanelForMenuBarApp.h"
#include "ui-kit/windows/SwiftUIWindow.h"
#include "ui-kit/windows/SwiftUIWindowForMenuBarApp.h"

#include "platform/testing/EventLoop.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(SwiftUIWindowForMenuBarAppTest, CtrlWClosesAndCtrlMMinimisesOnlyWithExactlyControl) {
    SwiftUIWindowForMenuBarApp window;
    QSignalSpy closing(&window, &SwiftUIWindowForMenuBarApp::windowWillClose);
    window.show();

    QTest::keyClick(&window, Qt::Key_W, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(&window, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&window, Qt::Key_W);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(closing.count(), 0);

    // A key on the keypad still counts as the plain key.
    QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_TRUE(window.isMinimized());
    window.showNormal();

    QTest::keyClick(&window, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible());
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
    panel.show();
    QTest::keyClick(&panel, Qt::Key_Escape);
    EXPECT_TRUE(panel.isVisible());
    QTest::keyClick(&panel, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(panel.isVisible());
}

TEST(SwiftUIWindowForMenuBarAppTest, ClosingTheLastWindowLeavesTheApplicationRunning) {
    ASSERT_FALSE(QApplication::quitOnLastWindowClosed());
    auto window = std::make_unique<SwiftUIWindowForMenuBarApp>();
    window->show();

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

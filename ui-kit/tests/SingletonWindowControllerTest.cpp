#include "ui-kit/windows/SingletonWindowController.h"
#include "ui-kit/windows/WindowHelpers.h"

#include "WindowTestSupport_p.h"
#include "platform/testing/EventLoop.h"

#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

class WelcomeController final : public SingletonWindowController {
public:
    WelcomeController()
        : SingletonWindowController(new SwiftUIWindowForMenuBarApp) {
        window()->setWindowTitle(QStringLiteral("Welcome"));
    }
};

class DebugController final : public SingletonWindowController {
public:
    DebugController()
        : SingletonWindowController(new SwiftUIWindowForMenuBarApp) {}
};

class WindowlessController final : public SingletonWindowController {
public:
    WindowlessController()
        : SingletonWindowController(nullptr) {}
};

class SingletonWindowControllerTest : public ::testing::Test {
protected:
    testing::QuickWindowAnimations m_quickAnimations;
};

TEST_F(SingletonWindowControllerTest, OneControllerPerSubclassUntilItsWindowCloses) {
    WelcomeController &welcome = SingletonWindowController::shared<WelcomeController>();
    EXPECT_EQ(&SingletonWindowController::shared<WelcomeController>(), &welcome);
    DebugController &debug = SingletonWindowController::shared<DebugController>();
    EXPECT_NE(static_cast<SingletonWindowController *>(&debug), &welcome);

    SingletonWindowController::show<WelcomeController>(/*fadeIn=*/true);
    QPointer<SwiftUIWindowForMenuBarApp> firstWindow = welcome.window();
    ASSERT_TRUE(firstWindow->isVisible());
    // The fade starts transparent and ends opaque.
    EXPECT_TRUE(testing::processEventsUntil([&] { return firstWindow->windowOpacity() == 1.0; }));

    // Showing again reuses the live controller and its window.
    SingletonWindowController::show<WelcomeController>();
    EXPECT_EQ(SingletonWindowController::shared<WelcomeController>().window(), firstWindow);

    QTest::keyClick(firstWindow, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(SingletonWindowController::hasShared<WelcomeController>());
    EXPECT_TRUE(SingletonWindowController::hasShared<DebugController>());
    // Controller and window are deleted once the close has been handled.
    EXPECT_TRUE(testing::processEventsUntil([&] { return firstWindow.isNull(); }));

    SingletonWindowController::show<WelcomeController>();
    SwiftUIWindowForMenuBarApp *secondWindow =
        SingletonWindowController::shared<WelcomeController>().window();
    EXPECT_TRUE(secondWindow->isVisible());
    EXPECT_EQ(secondWindow->windowTitle(), QStringLiteral("Welcome"));

    secondWindow->close();
    SingletonWindowController::shared<DebugController>().window()->close();
    EXPECT_FALSE(SingletonWindowController::hasShared<WelcomeController>());
    EXPECT_FALSE(SingletonWindowController::hasShared<DebugController>());
}

TEST_F(SingletonWindowControllerTest, AControllerWithoutAWindowShowsNothingButStaysRegistered) {
    SingletonWindowController::show<WindowlessController>(/*fadeIn=*/true);
    EXPECT_TRUE(SingletonWindowController::hasShared<WindowlessController>());
    EXPECT_EQ(SingletonWindowController::shared<WindowlessController>().window(), nullptr);
}

} // namespace
} // namespace kestrova

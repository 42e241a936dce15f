#include "ui-kit/windows/OneOffWindow.h"
#include "ui-kit/windows/WindowHelpers.h"

#include "WindowTestSupport_p.h"
#include "platform/testing/EventLoop.h"

#include <QLabel>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::processEventsUntil;

class OneOffWindowTest : public ::testing::Test {
protected:
    testing::QuickWindowAnimations m_quickAnimations;

    platform::Binding<bool> binding() {
        return {[this] { return isPresented; }, [this](const bool &value) { isPresented = value; }};
    }
    std::function<QWidget *()> contentFactory() {
        return [this] {
            ++contentBuilds;
            return new QLabel(QStringLiteral("Folder settings"));
        };
    }

    bool isPresented = false;
    int contentBuilds = 0;
};

TEST_F(OneOffWindowTest, ShowsWhilePresentedAndTheUsersCloseClearsTheFlag) {
    int configureCalls = 0;
    OneOffWindow oneOff(binding(), contentFactory(), {.fadeIn = true, .shouldCloseOnEscapePress = true},
                        [&](SwiftUIWindowForMenuBarApp &) { ++configureCalls; });
    oneOff.update();
    EXPECT_FALSE(oneOff.window()->isVisible());
    EXPECT_EQ(oneOff.content(), nullptr);
    EXPECT_EQ(configureCalls, 1);

    isPresented = true;
    oneOff.update();
    EXPECT_TRUE(oneOff.window()->shouldCloseOnEscapePress);
    ASSERT_TRUE(processEventsUntil([&] { return oneOff.window()->isVisible(); }));
    EXPECT_TRUE(processEventsUntil([&] { return oneOff.window()->windowOpacity() == 1.0; }));
    EXPECT_EQ(contentBuilds, 1);

    // An update while shown neither rebuilds the content nor moves the window back to the centre.
    oneOff.window()->move(oneOff.window()->pos() + QPoint(40, 30));
    const QPoint moved = oneOff.window()->pos();
    oneOff.update();
    EXPECT_EQ(oneOff.window()->pos(), moved);
    EXPECT_EQ(contentBuilds, 1);

    QPointer<QWidget> firstContent = oneOff.content();
    QTest::keyClick(oneOff.window(), Qt::Key_Escape);
    EXPECT_FALSE(isPresented);
    EXPECT_FALSE(oneOff.window()->isVisible());
    EXPECT_TRUE(processEventsUntil([&] { return firstContent.isNull(); }));
    oneOff.update();
    EXPECT_FALSE(oneOff.window()->isVisible());

    // The same window comes back with fresh content.
    SwiftUIWindowForMenuBarApp *window = oneOff.window();
    isPresented = true;
    oneOff.update();
    ASSERT_TRUE(processEventsUntil([&] { return window->isVisible(); }));
    EXPECT_EQ(oneOff.window(), window);
    EXPECT_EQ(contentBuilds, 2);
    EXPECT_TRUE(processEventsUntil([&] { return window->windowOpacity() == 1.0; }));

    isPresented = false;
    oneOff.update();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(oneOff.content(), nullptr);
}

TEST_F(OneOffWindowTest, AFlagThatTurnsFalseBeforeTheShowNeverShowsTheWindow) {
    OneOffWindow oneOff(binding(), contentFactory());
    isPresented = true;
    oneOff.update();
    isPresented = false;
    oneOff.update();
    QTest::qWait(0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(oneOff.window()->isVisible());
}

TEST_F(OneOffWindowTest, AFullScreenWindowLeavesFullScreenBeforeHiding) {
    OneOffWindow oneOff(binding(), contentFactory());
    isPresented = true;
    oneOff.update();
    ASSERT_TRUE(processEventsUntil([&] { return oneOff.window()->isVisible(); }));
    oneOff.window()->showFullScreen();
    isPresented = false;
    oneOff.update();
    EXPECT_FALSE(oneOff.window()->isVisible());
    EXPECT_FALSE(oneOff.window()->isFullScreen());
}

TEST_F(OneOffWindowTest, GoingAwayClosesTheWindowUnlessItOutlivesTheView) {
    QPointer<SwiftUIWindowForMenuBarApp> closedWithView;
    {
        OneOffWindow oneOff(binding(), contentFactory());
        isPresented = true;
        oneOff.update();
        ASSERT_TRUE(processEventsUntil([&] { return oneOff.window()->isVisible(); }));
        closedWithView = oneOff.window();
    }
    EXPECT_TRUE(closedWithView.isNull());
    // The view is gone: its flag was not written by that close.
    EXPECT_TRUE(isPresented);

    QPointer<SwiftUIWindowForMenuBarApp> outliving;
    {
        OneOffWindow oneOff(binding(), contentFactory(), {.windowOutlivesView = true});
        oneOff.update();
        ASSERT_TRUE(processEventsUntil([&] { return oneOff.window()->isVisible(); }));
        outliving = oneOff.window();
    }
    ASSERT_FALSE(outliving.isNull());
    EXPECT_TRUE(outliving->isVisible());
    isPresented = true;
    outliving->close();
    EXPECT_TRUE(isPresented);
    EXPECT_TRUE(processEventsUntil([&] { return outliving.isNull(); }));
}

} // namespace
} // namespace kestrova

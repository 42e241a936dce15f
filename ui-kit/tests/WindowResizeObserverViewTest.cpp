#include "ui-kit/windows/WindowResizeObserverView.h"
#include "ui-kit/windows/LabelButton.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace kestrova;

TEST(WindowResizeObserverViewTest, ResizesAndFullScreenAreReportedAndLabelButtonsLetClicksThrough) {
    QWidget window;
    window.resize(200, 100);
    auto *button = new LabelButton(&window);
    button->setGeometry(0, 0, 200, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.childAt(10, 10), nullptr) << "the click reaches the window beneath";

    auto *content = new QWidget(&window);
    int resizes = 0;
    new WindowResizeObserverView(content, [&] { ++resizes; });
    window.resize(300, 120);
    EXPECT_EQ(resizes, 1);
    window.setWindowState(Qt::WindowFullScreen);
    EXPECT_GE(resizes, 2) << "full screen counts as a resize";
}

#include "ui-kit/windows/KvView.h"

#include <QSignalSpy>
#include <QTest>
#include <QWindowStateChangeEvent>

#include <gtest/gtest.h>

using namespace kestrova;

TEST(KvViewTest, AnnouncesItsFirstParentAndFirstShowingOnce) {
    QWidget first;
    QWidget second;
    auto *view = new KvView;
    QSignalSpy parented(view, &KvView::didMoveToSuperview);
    QSignalSpy appeared(view, &KvView::didAppear);
    view->setParent(&first);
    first.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
    view->setParent(&second);
    second.show();
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    EXPECT_EQ(parented.count(), 1);
    EXPECT_EQ(appeared.count(), 1);
    EXPECT_TRUE(view->didMoveToWindowWasCalled());
}

#include "platform/desktop/input/ActionTrampoline.h"

#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace kestrova::platform::desktop;

TEST(ActionTrampolineTest, RunsTheLatestActionWithTheClickThatFiredIt) {
    QPushButton button(QStringLiteral("Open"));
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));

    int firstRuns = 0;
    std::vector<InputEvent> events;
    const QPointer<ActionTrampoline> first = onAction(&button, [&](const InputEvent &) { ++firstRuns; });
    QTest::mouseClick(&button, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(firstRuns, 1);

    onAction(&button, [&](const InputEvent &event) { events.push_back(event); });
    EXPECT_TRUE(first.isNull()) << "the first trampoline is freed";
    QTest::mouseClick(&button, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(firstRuns, 1);
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].type, QEvent::MouseButtonRelease);
    EXPECT_EQ(events[0].button, Qt::LeftButton);
    EXPECT_EQ(events[0].modifiers, Qt::ShiftModifier);
    EXPECT_EQ(events[0].globalPosition, button.mapToGlobal(button.rect().center()));

    QAction action;
    onAction(&action, [&](const InputEvent &event) { events.push_back(event); });
    action.trigger();
    EXPECT_EQ(events.size(), 2U) << "the event of the last input is passed on";
}

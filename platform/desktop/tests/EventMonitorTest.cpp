#include "platform/desktop/CarbonLocalEventMonitor.h"
#include "platform/desktop/LocalEventMonitor.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

using kestrova::platform::desktop::CarbonLocalEventMonitor;
using kestrova::platform::desktop::GlobalEventMonitor;
using kestrova::platform::desktop::LocalEventMonitor;
using Type = CarbonLocalEventMonitor::EventType;

namespace {

// A window with a text field that has the focus, so key events have a receiver and parents to climb.
struct TypingWindow {
    QWidget window;
    QLineEdit *field = new QLineEdit(&window);
    TypingWindow() {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(field);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        field->setFocus();
    }
};

} // namespace

TEST(EventMonitorTest, LocalMonitorSeesEachEventOnceAndMayReplaceIt) {
    TypingWindow typing;
    LocalEventMonitor silent({QEvent::KeyPress});
    QSignalSpy seen(&silent, &LocalEventMonitor::objectWillChange);
    silent.stop(); // never started: nothing happens
    QTest::keyClick(typing.field, Qt::Key_A);
    EXPECT_EQ(seen.count(), 0);

    silent.start();
    silent.start();
    // Escape is not taken by the field and climbs to the window: still one event.
    QTest::keyClick(typing.field, Qt::Key_Escape);
    QTest::keyClick(typing.field, Qt::Key_B);
    EXPECT_EQ(seen.count(), 2);
    EXPECT_EQ(typing.field->text(), QStringLiteral("ab")) << "a monitor without callback passes events on";

    {
        LocalEventMonitor replacing(
            {QEvent::KeyPress}, [](QObject *, QEvent *event) -> std::unique_ptr<QEvent> {
                const auto *key = static_cast<QKeyEvent *>(event);
                if (key->key() != Qt::Key_C)
                    return nullptr;
                return std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_X, key->modifiers(),
                                                   QStringLiteral("x"));
            });
        replacing.start();
        QTest::keyClick(typing.field, Qt::Key_C);
        QTest::keyClick(typing.field, Qt::Key_D);
    }
    EXPECT_EQ(typing.field->text(), QStringLiteral("abxd"));
    // Released, the replacing monitor is gone from the application.
    QTest::keyClick(typing.field, Qt::Key_C);
    EXPECT_EQ(typing.field->text(), QStringLiteral("abxdc"));
    silent.stop();
    QTest::keyClick(typing.field, Qt::Key_E);
    // The replaced press was seen as its replacement only.
    EXPECT_EQ(seen.count(), 5);

    GlobalEventMonitor global;
    EXPECT_FALSE(GlobalEventMonitor::isAvailable());
    EXPECT_FALSE(global.start());
}

TEST(EventMonitorTest, CarbonMonitorConsumesWhatItsCallbackTakes) {
    TypingWindow typing;
    int shortcutRuns = 0;
    auto *shortcut = new QAction(&typing.window);
    shortcut->setShortcut(QKeySequence(QStringLiteral("Ctrl+K")));
    typing.window.addAction(shortcut);
    QObject::connect(shortcut, &QAction::triggered, [&] { ++shortcutRuns; });

    std::vector<Type> offered;
    CarbonLocalEventMonitor monitor({Type::keyDown, Type::keyUp}, /*useGlobalEventDispatcher=*/true,
                                    [&](QObject *, QEvent *event) {
                                        offered.push_back(*CarbonLocalEventMonitor::eventTypeOf(*event));
                                        const auto *key = static_cast<QKeyEvent *>(event);
                                        return key->key() == Qt::Key_K || key->key() == Qt::Key_Q;
                                    });
    monitor.start();
    monitor.start();
    QTest::keyClick(typing.field, Qt::Key_K, Qt::ControlModifier);
    QTest::keyClick(typing.field, Qt::Key_Q);
    QTest::keyClick(typing.field, Qt::Key_W);
    EXPECT_EQ(shortcutRuns, 0) << "taken before the shortcut could run";
    EXPECT_EQ(typing.field->text(), QStringLiteral("w"));
    // Each press offered once and each release once.
    EXPECT_EQ(std::count(offered.begin(), offered.end(), Type::keyDown), 3);
    EXPECT_EQ(std::count(offered.begin(), offered.end(), Type::keyUp), 3);

    monitor.stop();
    QTest::keyClick(typing.field, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(shortcutRuns, 1);

    CarbonLocalEventMonitor empty({}, false, [](QObject *, QEvent *) { return true; });
    empty.start();
    EXPECT_FALSE(empty.isInstalled());
    QTest::keyClick(typing.field, Qt::Key_Z);
    EXPECT_EQ(typing.field->text(), QStringLiteral("wz"));
}

TEST(EventMonitorTest, EventTypesKeepTheirTableOrderAndKinds) {
    const auto specs =
        CarbonLocalEventMonitor::eventTypeSpecs({Type::mouseScroll, Type::keyUp, Type::mouseDown});
    const std::vector<CarbonLocalEventMonitor::EventTypeSpec> expected{
        {CarbonLocalEventMonitor::kKeyboardEventClass, 3},
        {CarbonLocalEventMonitor::kMouseEventClass, 1},
        {CarbonLocalEventMonitor::kMouseEventClass, 11},
    };
    EXPECT_EQ(specs, expected);

    const QPointF at(5, 5);
    QMouseEvent moved(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QMouseEvent dragged(QEvent::MouseMove, at, at, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), /*autorep=*/true);
    QKeyEvent shift(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier);
    EXPECT_EQ(CarbonLocalEventMonitor::eventTypeOf(moved), Type::mouseMoved);
    EXPECT_EQ(CarbonLocalEventMonitor::eventTypeOf(dragged), Type::mouseDragged);
    EXPECT_EQ(CarbonLocalEventMonitor::eventTypeOf(repeat), Type::keyRepeat);
    EXPECT_EQ(CarbonLocalEventMonitor::eventTypeOf(shift), Type::keyModifiersChanged);
    EXPECT_EQ(CarbonLocalEventMonitor::eventTypeOf(QEvent(QEvent::Paint)), std::nullopt);
}

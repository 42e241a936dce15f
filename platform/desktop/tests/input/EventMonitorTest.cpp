#include "platform/desktop/input/CarbonLocalEventMonitor.h"
#include "platform/desktop/input/LocalEventMonitor.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

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

// A window shortcut that counts its runs.
struct CountedShortcut {
    int runs = 0;
    CountedShortcut(QWidget &window, const QString &keys) {
        auto *shortcut = new QAction(&window);
        shortcut->setShortcut(QKeySequence(keys));
        window.addAction(shortcut);
        QObject::connect(shortcut, &QAction::triggered, [this] { ++runs; });
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
    CountedShortcut shortcut(typing.window, QStringLiteral("Ctrl+K"));

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
    EXPECT_EQ(shortcut.runs, 0) << "taken before the shortcut could run";
    EXPECT_EQ(typing.field->text(), QStringLiteral("w"));
    // Each press offered once and each release once.
    EXPECT_EQ(std::count(offered.begin(), offered.end(), Type::keyDown), 3);
    EXPECT_EQ(std::count(offered.begin(), offered.end(), Type::keyUp), 3);

    monitor.stop();
    QTest::keyClick(typing.field, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(shortcut.runs, 1);

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

// The desktop hands a key press to the widget window, which passes it to the focus widget, after its
// shortcut override went to that widget; a press the field ignores climbs to its parents. Each monitor
// must still see the press once.
TEST(EventMonitorTest, EventsThroughTheWindowAreOfferedOnceAtTheirWidget) {
    TypingWindow typing;
    QWindow *window = typing.window.windowHandle();
    ASSERT_NE(window, nullptr);

    LocalEventMonitor presses({QEvent::KeyPress});
    LocalEventMonitor pressesAndOverrides({QEvent::ShortcutOverride, QEvent::KeyPress});
    std::vector<QObject *> pressReceivers;
    int overrideOrPress = 0;
    QObject::connect(&presses, &LocalEventMonitor::objectWillChange, [&](QObject *receiver, QEvent *event) {
        if (static_cast<QKeyEvent *>(event)->key() != Qt::Key_Control)
            pressReceivers.push_back(receiver);
    });
    QObject::connect(&pressesAndOverrides, &LocalEventMonitor::objectWillChange,
                     [&](QObject *, QEvent *event) {
                         if (static_cast<QKeyEvent *>(event)->key() != Qt::Key_Control)
                             ++overrideOrPress;
                     });
    presses.start();
    pressesAndOverrides.start();
    QTest::keyClick(window, Qt::Key_A);
    // Not taken by the field: it climbs to the window.
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_EQ(typing.field->text(), QStringLiteral("a"));
    ASSERT_EQ(pressReceivers.size(), 2U);
    EXPECT_EQ(pressReceivers[0], typing.field) << "offered at the widget it is for";
    EXPECT_EQ(pressReceivers[1], typing.field);
    EXPECT_EQ(overrideOrPress, 2);
    presses.stop();
    pressesAndOverrides.stop();

    CountedShortcut shortcut(typing.window, QStringLiteral("Ctrl+K"));
    std::vector<Type> offered;
    CarbonLocalEventMonitor monitor({Type::keyDown, Type::keyUp, Type::mouseDown},
                                    /*useGlobalEventDispatcher=*/true, [&](QObject *, QEvent *event) {
                                        offered.push_back(*CarbonLocalEventMonitor::eventTypeOf(*event));
                                        if (event->type() == QEvent::MouseButtonPress)
                                            return false;
                                        const auto *key = static_cast<QKeyEvent *>(event);
                                        return key->key() == Qt::Key_K || key->key() == Qt::Key_Q;
                                    });
    monitor.start();
    QTest::keyClick(window, Qt::Key_K, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Q);
    QTest::keyClick(window, Qt::Key_W);
    QTest::mouseClick(window, Qt::LeftButton, {}, typing.field->mapTo(&typing.window, QPoint(3, 3)));
    EXPECT_EQ(shortcut.runs, 0);
    EXPECT_EQ(typing.field->text(), QStringLiteral("aw"));
    EXPECT_EQ(std::count(offered.begin(), offered.end(), Type::keyDown), 3);
    EXPECT_EQ(std::count(offered.begin(), offered.end(), Type::keyUp), 3);
    EXPECT_EQ(std::count(offered.begin(), offered.end(), Type::mouseDown), 1);
}

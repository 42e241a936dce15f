#include "foundation/time/Timer.h"

#include "platform/menus/MenuTracking.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace kestrova;

namespace {

// Runs the event loop, asleep while nothing happens, until `done` holds or five seconds pass.
bool runLoopUntil(const std::function<bool()> &done) {
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(5000);
    QEventLoop loop;
    while (!done() && deadline.isActive())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// Lets every timer that is already due fire: a zero-interval timer made now fires after them.
void runLoopOnce() {
    bool marked = false;
    const auto marker = Timer::scheduledInCommonModes(0.0, false, [&marked](Timer &) { marked = true; });
    ASSERT_TRUE(runLoopUntil([&marked] { return marked; }));
}

} // namespace

TEST(TimerTest, NonRepeatingTimerFiresOnceAndIsThenInvalid) {
    int fired = 0;
    bool wasValidInBlock = true;
    const auto timer = Timer::scheduledInCommonModes(Duration::milliseconds(1), false, [&](Timer &firing) {
        ++fired;
        wasValidInBlock = firing.isValid();
    });
    EXPECT_TRUE(timer->isValid());
    EXPECT_FALSE(timer->repeats());
    EXPECT_DOUBLE_EQ(timer->timeInterval(), 0.001);
    ASSERT_TRUE(runLoopUntil([&] { return fired > 0; }));
    EXPECT_FALSE(wasValidInBlock);
    EXPECT_FALSE(timer->isValid());
    runLoopOnce();
    EXPECT_EQ(fired, 1);
}

TEST(TimerTest, RepeatingTimerFiresUntilInvalidated) {
    int fired = 0;
    const auto timer = Timer::scheduled(0.0, true, [&fired](Timer &firing) {
        if (++fired == 3)
            firing.invalidate();
    });
    ASSERT_TRUE(runLoopUntil([&fired] { return fired == 3; }));
    EXPECT_FALSE(timer->isValid());
    runLoopOnce();
    runLoopOnce();
    EXPECT_EQ(fired, 3);
}

TEST(TimerTest, BadIntervalsFireOnTheNextTurn) {
    int fired = 0;
    const auto notANumber =
        Timer::scheduledInCommonModes(std::nan(""), false, [&fired](Timer &) { ++fired; });
    const auto negative = Timer::scheduledInCommonModes(-5.0, false, [&fired](Timer &) { ++fired; });
    ASSERT_TRUE(runLoopUntil([&fired] { return fired == 2; }));
    // An interval too long for the loop still makes a valid timer.
    const auto distant = Timer::scheduled(1e300, false, [](Timer &) {});
    EXPECT_TRUE(distant->isValid());
}

TEST(TimerTest, BlockMayDestroyItsOwnTimer) {
    std::unique_ptr<Timer> timer;
    bool fired = false;
    timer = Timer::scheduledInCommonModes(0.0, true, [&](Timer &) {
        fired = true;
        timer.reset();
    });
    ASSERT_TRUE(runLoopUntil([&fired] { return fired; }));
    EXPECT_EQ(timer, nullptr);
    runLoopOnce();
}

TEST(TimerTest, OnlyCommonModeTimersFireWhileEventsAreTracked) {
    int defaultModeFired = 0;
    bool commonModeFired = false;
    Timer::beginEventTracking();
    const auto defaultMode =
        Timer::scheduled(0.0, true, [&defaultModeFired](Timer &) { ++defaultModeFired; });
    const auto commonMode =
        Timer::scheduledInCommonModes(0.0, false, [&commonModeFired](Timer &) { commonModeFired = true; });
    EXPECT_TRUE(runLoopUntil([&commonModeFired] { return commonModeFired; }));
    runLoopOnce();
    EXPECT_EQ(defaultModeFired, 0);

    // Nested tracking: only the outermost end lets the waiting timer fire, and then once.
    Timer::beginEventTracking();
    Timer::endEventTracking();
    EXPECT_EQ(defaultModeFired, 0);
    Timer::endEventTracking();
    EXPECT_EQ(defaultModeFired, 1);
    EXPECT_TRUE(defaultMode->isValid());
    EXPECT_TRUE(runLoopUntil([&defaultModeFired] { return defaultModeFired > 1; }));
    EXPECT_FALSE(Timer::isTrackingEvents());
}

TEST(TimerTest, DefaultModeTimersWaitForAnOpenMenu) {
    // What the menu presenter holds while a menu is open.
    auto menuTracking = kestrova::platform::MenuTracking::begin();
    EXPECT_TRUE(Timer::isTrackingEvents());
    int fired = 0;
    bool commonModeFired = false;
    const auto waiting = Timer::scheduled(0.0, false, [&fired](Timer &) { ++fired; });
    const auto commonMode =
        Timer::scheduledInCommonModes(0.0, false, [&commonModeFired](Timer &) { commonModeFired = true; });
    EXPECT_TRUE(runLoopUntil([&commonModeFired] { return commonModeFired; }));
    EXPECT_EQ(fired, 0);
    menuTracking.reset();
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(waiting->isValid());
}

TEST(TimerTest, TimerDestroyedWhileWaitingForTrackingNeverFires) {
    bool fired = false;
    Timer::beginEventTracking();
    auto waiting = Timer::scheduled(0.0, false, [&fired](Timer &) { fired = true; });
    runLoopOnce();
    waiting.reset();
    Timer::endEventTracking();
    runLoopOnce();
    EXPECT_FALSE(fired);
    // An unmatched end is ignored.
    Timer::endEventTracking();
    EXPECT_FALSE(Timer::isTrackingEvents());
}

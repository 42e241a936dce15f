#pragma once

#include "foundation/time/Duration.h"

#include <QtGlobal>

#include <functional>
#include <memory>

class QTimer;

namespace kestrova {

// A timer on the event loop of the thread that makes it, which runs its block after an interval, once or
// every interval until invalidated. The caller owns it: destroying it invalidates it, and the block may do
// so too (a non-repeating timer is already invalid when its block runs).
//
// A menu or a drag that runs its own loop is "event tracking". The timers of
// `scheduledInCommonModes` fire during tracking; those of `scheduled` wait until it ends and then fire once,
// however many intervals passed. Tracking concerns the main thread only: another thread's timers always
// fire.
class Timer {
public:
    using Block = std::function<void(Timer &)>;

    // An interval that is not a positive number fires on the next turn of the loop; one longer than about
    // 24 days waits 24 days.
    static std::unique_ptr<Timer> scheduledInCommonModes(double timeInterval, bool repeats, Block block);
    static std::unique_ptr<Timer> scheduledInCommonModes(Duration timeInterval, bool repeats, Block block) {
        return scheduledInCommonModes(timeInterval.seconds(), repeats, std::move(block));
    }
    static std::unique_ptr<Timer> scheduled(double timeInterval, bool repeats, Block block);
    static std::unique_ptr<Timer> scheduled(Duration timeInterval, bool repeats, Block block) {
        return scheduled(timeInterval.seconds(), repeats, std::move(block));
    }

    ~Timer();
    Timer(const Timer &) = delete;
    Timer &operator=(const Timer &) = delete;

    // Stops the timer for good; its block never runs again.
    void invalidate();
    bool isValid() const { return m_isValid; }
    double timeInterval() const { return m_timeInterval; }
    bool repeats() const { return m_repeats; }

    // Called by whoever runs a nested loop for a drag, in pairs; nesting is counted. Menus announce their
    // tracking themselves (platform::MenuTracking), and these count as the same tracking.
    static void beginEventTracking();
    static void endEventTracking();
    static bool isTrackingEvents();

private:
    Timer(double timeInterval, bool repeats, bool firesDuringTracking, Block block);

    void timeout();
    void fire();
    static void fireTimersWaitingForTracking();

    std::unique_ptr<QTimer> m_timer;
    Block m_block;
    double m_timeInterval;
    bool m_repeats;
    bool m_firesDuringTracking;
    bool m_isValid = true;
    bool m_isWaitingForTracking = false;
    bool m_isFiring = false;
    // Expires with the timer, so that a firing can tell whether its block destroyed the timer.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>();
};

} // namespace kestrova

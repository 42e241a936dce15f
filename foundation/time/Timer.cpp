#include "Timer.h"

#include "platform/menus/MenuTracking.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

namespace kestrova {

namespace {

// The tracking begun through Timer::beginEventTracking, innermost last. Main thread only.
std::vector<platform::MenuTracking::Tracking> &trackingBegunHere() {
    static std::vector<platform::MenuTracking::Tracking> tracking;
    return tracking;
}
// Touched on the main thread only.
std::vector<Timer *> &timersWaitingForTracking() {
    static std::vector<Timer *> timers;
    return timers;
}

bool isMainThread() {
    const QCoreApplication *application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

std::chrono::milliseconds loopInterval(double seconds) {
    // Written so that NaN takes the first branch.
    if (!(seconds > 0))
        return std::chrono::milliseconds(0);
    constexpr double kLongest = std::numeric_limits<int>::max();
    return std::chrono::milliseconds(qint64(std::min(std::round(seconds * 1000), kLongest)));
}

} // namespace

Timer::Timer(double timeInterval, bool repeats, bool firesDuringTracking, Block block)
    : m_timer(std::make_unique<QTimer>())
    , m_block(std::move(block))
    , m_timeInterval(timeInterval)
    , m_repeats(repeats)
    , m_firesDuringTracking(firesDuringTracking) {
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setSingleShot(!repeats);
    m_timer->setInterval(loopInterval(timeInterval));
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this] { timeout(); });
    m_timer->start();
}

std::unique_ptr<Timer> Timer::scheduledInCommonModes(double timeInterval, bool repeats, Block block) {
    return std::unique_ptr<Timer>(
        new Timer(timeInterval, repeats, /*firesDuringTracking=*/true, std::move(block)));
}

std::unique_ptr<Timer> Timer::scheduled(double timeInterval, bool repeats, Block block) {
    return std::unique_ptr<Timer>(
        new Timer(timeInterval, repeats, /*firesDuringTracking=*/false, std::move(block)));
}

Timer::~Timer() {
    invalidate();
    // A block that destroys its own timer runs inside the QTimer's signal; the QTimer must outlive it.
    if (m_isFiring) {
        m_timer->disconnect();
        m_timer.release()->deleteLater();
    }
}

void Timer::invalidate() {
    m_isValid = false;
    m_timer->stop();
    if (m_isWaitingForTracking) {
        std::erase(timersWaitingForTracking(), this);
        m_isWaitingForTracking = false;
    }
}

void Timer::timeout() {
    if (!m_isValid)
        return;
    if (!m_firesDuringTracking && isMainThread() && isTrackingEvents()) {
        // Whoever tracks (the menu presenter, mostly) announces the end; the waiting timers fire then.
        static const platform::Subscription firesWhenTrackingEnds =
            platform::MenuTracking::observe([](bool isTracking) {
                if (!isTracking)
                    fireTimersWaitingForTracking();
            });
        if (!m_isWaitingForTracking) {
            m_isWaitingForTracking = true;
            timersWaitingForTracking().push_back(this);
        }
        return;
    }
    fire();
}

void Timer::fire() {
    if (!m_repeats) {
        m_isValid = false;
        m_timer->stop();
    }
    // Copies, since the block may destroy this timer and with it the stored block.
    const Block block = m_block;
    const std::weak_ptr<int> alive = m_lifetime;
    m_isFiring = true;
    block(*this);
    if (alive.expired())
        return;
    m_isFiring = false;
}

void Timer::beginEventTracking() {
    trackingBegunHere().push_back(platform::MenuTracking::begin());
}

void Timer::endEventTracking() {
    if (!trackingBegunHere().empty())
        trackingBegunHere().pop_back();
}

void Timer::fireTimersWaitingForTracking() {
    // One at a time from the front: a block may destroy or invalidate other waiting timers, which then
    // leave the list themselves.
    std::vector<Timer *> &waiting = timersWaitingForTracking();
    while (!waiting.empty() && !isTrackingEvents()) {
        Timer *timer = waiting.front();
        waiting.erase(waiting.begin());
        timer->m_isWaitingForTracking = false;
        if (timer->m_isValid)
            timer->fire();
    }
}

bool Timer::isTrackingEvents() {
    return isMainThread() && platform::MenuTracking::isTracking();
}

} // namespace kestrova

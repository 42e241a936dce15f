#include "platform/FreedMemory.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace kestrova::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Waited for on a thread of its own: a timer would wake the main thread, idle as it then is.
struct Quiet {
    std::mutex mutex;
    std::condition_variable never;
    Clock::time_point due;
    bool isWaiting = false;
    // Since when the main thread's loop has been waiting for events, in ticks of Clock; 0 while it runs.
    std::atomic<Clock::rep> idleSince{0};
    bool isWatching = false;
};

Quiet &quiet() {
    // Never destroyed: the waiting thread may outlive the statics at exit.
    static Quiet *const shared = new Quiet;
    return *shared;
}

// Whether the main thread's loop is waiting for events, and has been for a while: a trim then holds up
// no turn, unless an event comes meanwhile.
bool isMainThreadIdle(Quiet &state) {
    constexpr auto kIdleFor = std::chrono::milliseconds(20);
    const Clock::rep since = state.idleSince.load(std::memory_order_relaxed);
    return since != 0 && Clock::now() - Clock::time_point(Clock::duration(since)) >= kIdleFor;
}

void watchMainThread(Quiet &state) {
    QCoreApplication *application = QCoreApplication::instance();
    QAbstractEventDispatcher *dispatcher =
        application ? QAbstractEventDispatcher::instance(application->thread()) : nullptr;
    if (!dispatcher)
        return;
    state.isWatching = true;
    QObject::connect(
        dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher,
        [&state] {
            state.idleSince.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
        },
        Qt::DirectConnection);
    QObject::connect(
        dispatcher, &QAbstractEventDispatcher::awake, dispatcher,
        [&state] { state.idleSince.store(0, std::memory_order_relaxed); }, Qt::DirectConnection);
}

} // namespace

void giveBackFreedMemorySoon() {
    Quiet &state = quiet();
    const std::lock_guard lock(state.mutex);
    if (!state.isWatching)
        watchMainThread(state);
    state.due = Clock::now() + kQuietBeforeGivingBack;
    // The thread already waiting waits for the new time too: it only ever moves later.
    if (std::exchange(state.isWaiting, true))
        return;
    std::thread([&state] {
        std::unique_lock waiting(state.mutex);
        while (Clock::now() < state.due)
            state.never.wait_until(waiting, state.due);
        // Then for the main thread to be idle, up to a bound: a loop that never waits is busy anyway.
        const Clock::time_point latest = Clock::now() + kLongestWaitForIdle;
        while (state.isWatching && !isMainThreadIdle(state) && Clock::now() < latest)
            state.never.wait_for(waiting, std::chrono::milliseconds(10));
        state.isWaiting = false;
        waiting.unlock();
        giveBackFreedMemory();
    }).detach();
}

} // namespace kestrova::platform

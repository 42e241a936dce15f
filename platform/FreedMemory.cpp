#include "platform/FreedMemory.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace kestrova::platform {

namespace {

// Waited for on a thread of its own: a timer would wake the main thread, idle as it then is.
struct Quiet {
    std::mutex mutex;
    std::condition_variable never;
    std::chrono::steady_clock::time_point due;
    bool isWaiting = false;
};

Quiet &quiet() {
    // Never destroyed: the waiting thread may outlive the statics at exit.
    static Quiet *const shared = new Quiet;
    return *shared;
}

} // namespace

void giveBackFreedMemorySoon() {
    Quiet &state = quiet();
    const std::lock_guard lock(state.mutex);
    state.due = std::chrono::steady_clock::now() + kQuietBeforeGivingBack;
    // The thread already waiting waits for the new time too: it only ever moves later.
    if (std::exchange(state.isWaiting, true))
        return;
    std::thread([&state] {
        std::unique_lock waiting(state.mutex);
        while (std::chrono::steady_clock::now() < state.due)
            state.never.wait_until(waiting, state.due);
        state.isWaiting = false;
        waiting.unlock();
        giveBackFreedMemory();
    }).detach();
}

} // namespace kestrova::platform

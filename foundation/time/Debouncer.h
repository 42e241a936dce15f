#pragma once

#include <QTimer>

#include <chrono>
#include <functional>

namespace kestrova {

// Runs only the last of a burst of actions, `delay` after the burst ends. Lives on one thread with an
// event loop (normally the main thread) and runs the action there. Destroying it drops the pending action.
class Debouncer {
public:
    explicit Debouncer(std::chrono::milliseconds delay);
    Debouncer(const Debouncer &) = delete;
    Debouncer &operator=(const Debouncer &) = delete;

    std::chrono::milliseconds delay() const { return m_delay; }

    // Replaces the pending action, if any, and starts the delay again.
    void operator()(std::function<void()> action);

private:
    std::chrono::milliseconds m_delay;
    std::function<void()> m_workItem;
    QTimer m_timer;
};

} // namespace kestrova

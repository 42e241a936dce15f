#include "Debouncer.h"

#include <utility>

namespace kestrova {

Debouncer::Debouncer(std::chrono::milliseconds delay)
    : m_delay(delay) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(delay);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        // Taken out first: the action may schedule the next one.
        if (auto action = std::exchange(m_workItem, nullptr))
            action();
    });
}

void Debouncer::operator()(std::function<void()> action) {
    m_workItem = std::move(action);
    m_timer.start();
}

} // namespace kestrova

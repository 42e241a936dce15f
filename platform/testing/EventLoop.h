#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <functional>

namespace kestrova::testing {

// Runs the event loop until `condition` holds or five seconds pass; false when it never held.
inline bool processEventsUntil(const std::function<bool()> &condition) {
    QDeadlineTimer deadline(5000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

} // namespace kestrova::testing

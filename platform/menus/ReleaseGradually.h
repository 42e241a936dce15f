#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace kestrova::platform {

// Frees `values` from the last, a few milliseconds' worth per turn of the event loop, starting on a later
// turn: the rows of a very large menu (or the references to them) never hold the loop for longer than a
// fraction of a frame, where freeing them at once would take tens of milliseconds. `done` runs on a turn of
// its own once every value is gone. Main thread; without an application everything is freed at once.
template <typename T> void releaseGradually(std::vector<T> values, std::function<void()> done = {}) {
    // A slice ends after this long, well inside a frame; a menu row takes about a microsecond.
    constexpr qint64 kSliceNanoseconds = 3'000'000;
    constexpr std::size_t kValuesBetweenClockReads = 256;
    QCoreApplication *application = QCoreApplication::instance();
    if (!application) {
        values.clear();
        if (done)
            done();
        return;
    }
    auto remaining = std::make_shared<std::vector<T>>(std::move(values));
    auto slice = std::make_shared<std::function<void()>>();
    *slice = [remaining, application, done = std::move(done), weakSlice = std::weak_ptr(slice)] {
        QElapsedTimer clock;
        clock.start();
        while (!remaining->empty()) {
            for (std::size_t count = 0; count < kValuesBetweenClockReads && !remaining->empty(); ++count)
                remaining->pop_back();
            if (clock.nsecsElapsed() >= kSliceNanoseconds)
                break;
        }
        if (remaining->empty()) {
            *remaining = {};
            // On a turn of its own: whatever else was freed meanwhile (a menu's widgets) is gone by then.
            if (done)
                QTimer::singleShot(0, application, done);
            return;
        }
        if (const auto next = weakSlice.lock())
            QTimer::singleShot(0, application, [next] { (*next)(); });
    };
    // The closure keeps itself alive through the timer that runs it next, and no longer.
    QTimer::singleShot(0, application, [slice] { (*slice)(); });
}

} // namespace kestrova::platform

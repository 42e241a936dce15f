#pragma once

#include "platform/desktop/input/EventMonitoring_p.h"

#include <QEvent>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>

namespace kestrova::platform::desktop {

// Watches events of the listed types on their way to any object of the application (an application
// event filter), each event once, at the widget it is for (not again at its window or the parents it is
// handed on to); with both ShortcutOverride and KeyPress listed, a key press is seen once, as its
// override. Every event seen is announced through objectWillChange first; the callback may then
// answer a replacement, which is delivered to the same receiver instead. It cannot swallow an event.
// Created stopped; start() and stop() may be called any number of times; destroying it stops it.
// Main thread only.
class LocalEventMonitor : public QObject {
    Q_OBJECT

public:
    // A replacement for `event`, or null to let it go on unchanged.
    using Callback = std::function<std::unique_ptr<QEvent>(QObject *receiver, QEvent *event)>;

    explicit LocalEventMonitor(QList<QEvent::Type> events, Callback callback = {}, QObject *parent = nullptr);
    ~LocalEventMonitor() override;
    Q_DISABLE_COPY_MOVE(LocalEventMonitor)

    LocalEventMonitor &start();
    void stop();
    bool isRunning() const { return m_isRunning; }

Q_SIGNALS:
    void objectWillChange(QObject *receiver, QEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QEvent::Type> m_events;
    Callback m_callback;
    bool m_isRunning = false;
    bool m_isDeliveringReplacement = false;
    DeliveryTracker m_delivery;
    // With both key types listed, a press already seen as its shortcut override is not seen again.
    OfferedKeyPress m_offeredPress;
};

// Events sent to other applications cannot be watched here: X11 gives no such stream to an ordinary
// client and Wayland none at all. Nothing in the application starts one; start() says it did not.
class GlobalEventMonitor {
public:
    static bool isAvailable() { return false; }
    // Returns whether the monitor runs: never.
    bool start() { return false; }
    void stop() {}
};

} // namespace kestrova::platform::desktop

#pragma once

#include "platform/desktop/input/EventMonitoring_p.h"

#include <QEvent>
#include <QObject>

#include <functional>
#include <optional>
#include <set>
#include <vector>

namespace kestrova::platform::desktop {

// Sees key and mouse events before anything else in the application, also while a popup menu tracks
// the mouse and holds the keyboard, and can consume them: the folder menus match their shortcuts with
// it while they are open. On X11 an open menu grabs the keyboard, so every key, a global shortcut's
// included, arrives here as an ordinary key event.
//
// Each event is offered to the callback once, however many objects it passes on its way (the widget
// window, the focus widget, its parents). A key press is offered at its shortcut override (so that a
// shortcut of the open menu cannot run first), and, when that override did not come, as the key press
// itself. Consuming the override consumes the press too. Created stopped; start() twice installs one filter;
// stop() and destruction remove it. Main thread only.
class CarbonLocalEventMonitor : public QObject {
    Q_OBJECT

public:
    enum class EventType {
        keyDown,
        keyRepeat,
        keyUp,
        keyModifiersChanged,
        mouseDown,
        mouseUp,
        mouseMoved,
        mouseDragged,
        mouseEntered,
        mouseExited,
        mouseWheelMoved,
        mouseScroll,
    };

    // The event class and kind each type stood for in the stored event tables ('keyb' and 'mous').
    struct EventTypeSpec {
        quint32 eventClass = 0;
        quint32 eventKind = 0;
        bool operator==(const EventTypeSpec &) const = default;
    };
    static constexpr quint32 kKeyboardEventClass = 0x6B657962; // 'keyb'
    static constexpr quint32 kMouseEventClass = 0x6D6F7573;    // 'mous'

    // True: the event is handled and goes no further.
    using Callback = std::function<bool(QObject *receiver, QEvent *event)>;

    CarbonLocalEventMonitor(std::set<EventType> events, bool useGlobalEventDispatcher, Callback callback,
                            QObject *parent = nullptr);
    ~CarbonLocalEventMonitor() override;
    Q_DISABLE_COPY_MOVE(CarbonLocalEventMonitor)

    // Installs nothing for an empty set of events.
    CarbonLocalEventMonitor &start();
    void stop();
    bool isInstalled() const { return m_isInstalled; }
    bool usesGlobalEventDispatcher() const { return m_useGlobalEventDispatcher; }

    // The specs of `events` in the order of EventType, whatever the set's own order.
    static std::vector<EventTypeSpec> eventTypeSpecs(const std::set<EventType> &events);
    // What kind of event this is, or nothing for events the monitor never looks at.
    static std::optional<EventType> eventTypeOf(const QEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool offer(QObject *watched, QEvent *event);

    std::set<EventType> m_events;
    bool m_useGlobalEventDispatcher;
    Callback m_callback;
    bool m_isInstalled = false;
    DeliveryTracker m_delivery;
    // The key whose override was offered: its press is not offered again, and is consumed with it.
    OfferedKeyPress m_offeredPress;
};

} // namespace kestrova::platform::desktop

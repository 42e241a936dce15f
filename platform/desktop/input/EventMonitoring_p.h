#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QPointer>

#include <optional>

namespace kestrova::platform::desktop {

// Decides where an application-wide monitor offers an input event, so that it offers each event once.
// One event reaches an application filter several times on its way:
// - the desktop hands it to the widget window, which passes the same event on to its focus (or grabbing)
//   widget; it is offered there, at the widget, and not at the window (mouse events get a new event per
//   widget, which is offered at the widget as well);
// - Qt hands an event nobody accepts on to each parent widget: a hand-on is the same event arriving at an
//   ancestor of the object that had it last (a new event at the same address goes to the same object
//   again, not up).
// Events at a window of no widget (a plain QWindow) are offered there.
class DeliveryTracker {
public:
    // Whether the event is to be offered at `watched`. Must see every event the monitor looks at.
    bool shouldOffer(QObject *watched, const QEvent *event) {
        if (event == m_event && m_receiver && isAncestor(watched, m_receiver)) {
            m_receiver = watched;
            return false;
        }
        m_event = event;
        m_receiver = watched;
        return !isWidgetWindow(watched);
    }

    // The window of a widget: it hands its input to a widget at once. (Qt's own class for it is private.)
    static bool isWidgetWindow(const QObject *object) {
        return object && object->isWindowType() && object->inherits("QWidgetWindow");
    }

private:
    static bool isAncestor(const QObject *candidate, const QObject *object) {
        for (const QObject *parent = object->parent(); parent; parent = parent->parent()) {
            if (parent == candidate)
                return true;
        }
        return false;
    }

    const QEvent *m_event = nullptr;
    QPointer<QObject> m_receiver;
};

// A key press comes twice: first as its shortcut override (before shortcuts are matched, so a key an open
// menu or window would take as a shortcut is seen at all), then, unless a shortcut took it, as the press.
// A monitor that offers the override remembers it here, so that the press is not offered again and gets
// the override's answer.
class OfferedKeyPress {
public:
    void offered(const QKeyEvent &override, bool consumed) {
        m_key = Key{override.key(), override.nativeScanCode(), override.modifiers(), consumed};
    }
    void forget() { m_key.reset(); }

    // Whether `press` is the press of the override offered last.
    bool isPending(const QKeyEvent &press) const {
        return m_key && m_key->key == press.key() && m_key->nativeScanCode == press.nativeScanCode() &&
               m_key->modifiers == press.modifiers();
    }
    // Whether the override offered last was consumed.
    bool wasConsumed() const { return m_key && m_key->consumed; }

private:
    struct Key {
        int key = 0;
        quint32 nativeScanCode = 0;
        Qt::KeyboardModifiers modifiers;
        bool consumed = false;
    };
    std::optional<Key> m_key;
};

} // namespace kestrova::platform::desktop

#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>

namespace kestrova::platform::desktop {

// Qt hands an input event that nobody accepts on to each parent widget, and an application filter sees
// every hand-on; a monitor wants the event once. A hand-on is the same event arriving at an ancestor of
// the object that had it last (a new event at the same address goes to the same object again, not up).
class PropagationTracker {
public:
    bool isPropagation(QObject *watched, const QEvent *event) {
        if (event == m_event && m_receiver && isAncestor(watched, m_receiver)) {
            m_receiver = watched;
            return true;
        }
        m_event = event;
        m_receiver = watched;
        return false;
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

} // namespace kestrova::platform::desktop

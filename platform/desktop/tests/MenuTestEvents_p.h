#pragma once

#include <QApplication>
#include <QWheelEvent>
#include <QWidget>

namespace kestrova::platform::desktop::testing {

// Turns the mouse wheel over the middle of `widget` by whole notches (negative: towards the user).
inline void turnWheel(QWidget *widget, int notches) {
    const QPointF inside = QPointF(widget->rect().center());
    QWheelEvent event(inside, widget->mapToGlobal(inside), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

} // namespace kestrova::platform::desktop::testing

#include "WindowShortcuts_p.h"

#include <QKeyEvent>
#include <QWidget>

namespace kestrova {

bool handleWindowShortcut(QWidget *window, QKeyEvent *event) {
    // The keypad and layout-group bits say where the key sits, not which modifiers are held.
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    if (modifiers != Qt::ControlModifier)
        return false;
    switch (event->key()) {
    case Qt::Key_W:
        window->close();
        return true;
    case Qt::Key_M:
        window->showMinimized();
        return true;
    default:
        return false;
    }
}

} // namespace kestrova

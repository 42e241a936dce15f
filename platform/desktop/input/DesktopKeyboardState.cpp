#include "DesktopKeyboardState.h"

#include <QGuiApplication>

namespace kestrova::platform::desktop {

quint64 DesktopKeyboardState::flagsFromQtModifiers(Qt::KeyboardModifiers modifiers) {
    quint64 flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= ModifierFlag::shift;
    if (modifiers & Qt::ControlModifier)
        flags |= ModifierFlag::control;
    if (modifiers & Qt::AltModifier)
        flags |= ModifierFlag::option;
    if (modifiers & Qt::MetaModifier)
        flags |= ModifierFlag::command;
    if (modifiers & Qt::KeypadModifier)
        flags |= ModifierFlag::numericPad;
    return flags;
}

quint64 DesktopKeyboardState::modifiersHeldAtLaunch() const {
    // Asks the X server for the pointer's modifier state, not the last event's: at launch no event has
    // arrived yet.
    return flagsFromQtModifiers(QGuiApplication::queryKeyboardModifiers());
}

} // namespace kestrova::platform::desktop

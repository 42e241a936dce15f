#include "DesktopKeyboardState.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

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

std::set<std::uint32_t> DesktopKeyboardState::keyCodesHeld() {
    auto *application = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!application || !application->connection())
        return {};
    xcb_connection_t *connection = application->connection();
    auto *reply = xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr);
    if (!reply)
        return {};
    std::set<std::uint32_t> held;
    for (std::uint32_t keyCode = 8; keyCode < 256; ++keyCode) {
        if (reply->keys[keyCode / 8] & (1u << (keyCode % 8)))
            held.insert(keyCode);
    }
    std::free(reply);
    return held;
}

} // namespace kestrova::platform::desktop

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

namespace {

xcb_connection_t *x11Connection() {
    auto *application = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return application ? application->connection() : nullptr;
}

} // namespace

quint64 DesktopKeyboardState::flagsFromHeldKeys(const std::set<std::uint32_t> &held,
                                                const ModifierMapping &mapping) {
    // Shift, Lock, Control, Mod1 (Alt), Mod2 (Num Lock), Mod3, Mod4 (Super), Mod5 (AltGr).
    constexpr std::array<quint64, 8> kFlags{ModifierFlag::shift,
                                            ModifierFlag::capsLock,
                                            ModifierFlag::control,
                                            ModifierFlag::option,
                                            0,
                                            0,
                                            ModifierFlag::command,
                                            0};
    quint64 flags = 0;
    for (std::size_t modifier = 0; modifier < mapping.size(); ++modifier) {
        for (const std::uint32_t keyCode : mapping[modifier]) {
            if (keyCode != 0 && held.contains(keyCode))
                flags |= kFlags[modifier];
        }
    }
    return flags;
}

std::optional<DesktopKeyboardState::ModifierMapping> DesktopKeyboardState::modifierMapping() {
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return std::nullopt;
    auto *reply = xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (!reply)
        return std::nullopt;
    ModifierMapping mapping;
    const xcb_keycode_t *keyCodes = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    if (xcb_get_modifier_mapping_keycodes_length(reply) >= perModifier * 8) {
        for (int modifier = 0; modifier < 8; ++modifier)
            mapping[modifier].assign(keyCodes + modifier * perModifier,
                                     keyCodes + (modifier + 1) * perModifier);
    }
    std::free(reply);
    return mapping;
}

quint64 DesktopKeyboardState::modifiersHeldAtLaunch() const {
    // At launch no key event has arrived yet: the keys held are asked of the server.
    if (const auto mapping = modifierMapping())
        return flagsFromHeldKeys(keyCodesHeld(), *mapping);
    return flagsFromQtModifiers(QGuiApplication::queryKeyboardModifiers());
}

std::set<std::uint32_t> DesktopKeyboardState::keyCodesHeld() {
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return {};
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

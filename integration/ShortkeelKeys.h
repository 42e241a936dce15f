#pragma once

#include "store/Shortkeel.h"

#include "platform/menus/MenuItem.h"
#include "platform/desktop/hotkeys/HotKeyBackend.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace kestrova::Shortkeel {

// Every key a shortcut can name: its constant, its stored key code (kept from the format the settings were
// first written in) and the evdev code of the key at the same place on this keyboard (0: none here).
#define KESTROVA_SHORTKEEL_KEYS(X)                                                                           \
    X(a, 0, 30)                                                                                              \
    X(b, 11, 48)                                                                                             \
    X(c, 8, 46)                                                                                              \
    X(d, 2, 32) X(e, 14, 18) X(f, 3, 33) X(g, 5, 34) X(h, 4, 35) X(i, 34, 23) X(j, 38, 36) X(k, 40, 37) X(   \
        l, 37, 38) X(m, 46, 50) X(n, 45, 49) X(o, 31, 24) X(p, 35, 25) X(q, 12, 16) X(r, 15, 19) X(s, 1, 31) \
        X(t, 17, 20) X(u, 32, 22) X(v, 9, 47) X(w, 13, 17) X(x, 7, 45) X(y, 16, 21) X(z, 6, 44)              \
            X(zero, 29, 11) X(one, 18, 2) X(two, 19, 3) X(three, 20, 4) X(four, 21, 5) X(five, 23, 6)        \
                X(six, 22, 7) X(seven, 26, 8) X(eight, 28, 9) X(nine, 25, 10) X(capsLock, 57, 58)            \
                    X(shift, 56, 42) X(function, 63, 0) X(control, 59, 29) X(option, 58, 56) X(              \
                        command, 55, 125) X(rightCommand, 54,                                                \
                                            126) X(rightOption, 61, 100) X(rightControl, 62, 97)             \
                        X(rightShift, 60, 54) X(return_, 36, 28) X(backslash, 42, 43) X(grave, 50, 41)       \
                            X(comma, 43, 51) X(equal, 24, 13) X(minus, 27, 12) X(period, 47, 52)             \
                                X(quote, 39, 40) X(semicolon, 41, 39) X(slash, 44, 53) X(space, 49, 57) X(   \
                                    tab, 48, 15) X(leftBracket, 33,                                          \
                                                   26) X(rightBracket, 30,                                   \
                                                         27) X(pageUp, 116, 104)                             \
                                    X(pageDown, 121, 109) X(home, 115, 102) X(end, 119, 107) X(              \
                                        upArrow, 126,                                                        \
                                        103) X(rightArrow, 124, 106)                                         \
                                        X(downArrow, 125, 108) X(leftArrow, 123, 105) X(escape, 53, 1) X(    \
                                            delete_, 51,                                                     \
                                            14) X(forwardDelete, 117, 111)                                   \
                                            X(help, 114, 110) X(mute, 74, 113) X(volumeUp, 72, 115) X(       \
                                                volumeDown,                                                  \
                                                73,                                                          \
                                                114) X(f1, 122,                                              \
                                                       59) X(f2, 120, 60)                                    \
                                                X(f3, 99, 61) X(f4, 118, 62) X(f5, 96, 63) X(f6, 97, 64) X(  \
                                                    f7,                                                      \
                                                    98,                                                      \
                                                    65) X(f8, 100, 66)                                       \
                                                    X(f9, 101, 67) X(f10, 109, 68) X(f11, 103, 87) X(        \
                                                        f12, 111,                                            \
                                                        88) X(f13, 105, 183)                                 \
                                                        X(f14, 107, 184) X(f15, 113, 185)                    \
                                                            X(f16, 106, 186) X(f17, 64, 187) X(              \
                                                                f18, 79,                                     \
                                                                188) X(f19, 80,                              \
                                                                       189) X(f20, 90, 190)                  \
                                                                X(keypad0, 82, 82) X(keypad1, 83, 79) X(     \
                                                                    keypad2, 84, 80) X(keypad3, 85, 81)      \
                                                                    X(keypad4, 86, 75) X(keypad5, 87, 76) X( \
                                                                        keypad6, 88, 77) X(keypad7, 89, 71)  \
                                                                        X(keypad8, 91,                       \
                                                                          72) X(keypad9, 92,                 \
                                                                                73) X(keypadClear, 71, 69)   \
                                                                            X(keypadDecimal, 65,             \
                                                                              83) X(keypadDivide, 75, 98)    \
                                                                                X(keypadEnter, 76, 96) X(    \
                                                                                    keypadEquals, 81, 117)   \
                                                                                    X(keypadMinus, 78, 74)   \
                                                                                        X(keypadMultiply,    \
                                                                                          67, 55)            \
                                                                                            X(keypadPlus,    \
                                                                                              69, 78)

// A key by its stored key code. Any number makes a key; the constants are the keys that exist.
struct Key {
    std::int64_t rawValue = 0;

#define KESTROVA_DECLARE_KEY(name, code, evdev) static const Key name;
    KESTROVA_SHORTKEEL_KEYS(KESTROVA_DECLARE_KEY)
#undef KESTROVA_DECLARE_KEY

    // The X key code of the same key on this keyboard; nothing for a key it has not (Function).
    std::optional<std::uint32_t> x11KeyCode() const;
    // The key at an X key code (what key events report as their native scan code); nothing for a key that
    // no shortcut can name.
    static std::optional<Key> fromX11KeyCode(std::uint32_t keyCode);

    bool operator==(const Key &) const = default;
};

#define KESTROVA_DEFINE_KEY(name, code, evdev) inline constexpr Key Key::name{code};
KESTROVA_SHORTKEEL_KEYS(KESTROVA_DEFINE_KEY)
#undef KESTROVA_DEFINE_KEY

// A shortcut of `key` with the Carbon form of `modifiers`.
Shortcut shortcut(Key key, platform::Modifiers modifiers);
// The shortcut of a key press or release at an X key code; nothing for keys no shortcut names.
std::optional<Shortcut> shortcutOfX11Key(std::uint32_t keyCode, platform::Modifiers modifiers);
inline Key key(const Shortcut &shortcut) {
    return Key{shortcut.carbonKeyCode};
}
inline platform::Modifiers modifiers(const Shortcut &shortcut) {
    return modifiersOfCarbon(shortcut.carbonModifiers);
}
// The X key and core modifiers that `shortcut` is grabbed as; nothing when this keyboard has no such key,
// a stored number is out of range, or neither Control, Option nor Command is held with a key other than F1
// to F20.
std::optional<platform::desktop::HotKeyChord> hotKeyChord(const Shortcut &shortcut);

// Whether the key is one of F1 to F20, which may make a shortcut alone or with Shift.
bool isFunctionKey(std::int64_t keyCode);

// The text the key shows: a symbol for keys that type none (return, arrows, "F5"), else what it types on
// the current keyboard layout without modifiers (empty for a dead key); nothing when the layout has no
// such key.
std::optional<QString> keyToCharacter(std::int64_t keyCode);
// Control, Option, Shift, Command, in that order, as their symbols.
QString modifierSymbols(platform::Modifiers modifiers);
// What the shortcut shows: its modifier symbols and its key's text in capitals ("⇧Super+K"); where the
// desktop assigned the keys of its hot key itself, the desktop's text for them.
QString description(const Shortcut &shortcut);
// The key equivalent a menu item shows for the key: its single character (not in capitals), the
// function-key character of F1 to F20, or empty.
QString keyEquivalent(std::int64_t keyCode);

// The keyboard layout key texts are read from, by its layout name ("us", "de"); empty goes back to the
// layout of the display (or "us" without one).
void setKeyboardLayout(const QString &layout);

} // namespace kestrova::Shortkeel

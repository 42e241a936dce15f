#pragma once

#include <QtGlobal>

#include <memory>

namespace kestrova::platform {

// Modifier keys as one flag word, in the bit layout the stored chords and menus use.
namespace ModifierFlag {
inline constexpr quint64 capsLock = 0x10000;
inline constexpr quint64 shift = 0x20000;
inline constexpr quint64 control = 0x40000;
inline constexpr quint64 option = 0x80000;
inline constexpr quint64 command = 0x100000;
inline constexpr quint64 numericPad = 0x200000;
inline constexpr quint64 help = 0x400000;
inline constexpr quint64 function = 0x800000;
inline constexpr quint64 deviceIndependentFlagsMask = 0xFFFF0000;
} // namespace ModifierFlag

// Which modifier keys the user holds down right now, asked while the application starts. The desktop
// installs its realization at start-up; until then (and where the display server does not tell a client
// without focus, as on Wayland) no key counts as held. Main thread only.
class KeyboardState {
public:
    virtual ~KeyboardState() = default;

    // The held modifiers as `ModifierFlag` bits (Alt is Option, Super is Command).
    virtual quint64 modifiersHeldAtLaunch() const = 0;

    static KeyboardState &shared();
    // The same, kept alive for as long as the caller holds it.
    static std::shared_ptr<KeyboardState> sharedPointer();
    static void setShared(std::shared_ptr<KeyboardState> state);
};

} // namespace kestrova::platform

#pragma once

#include "HotKeyBackend.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>

namespace kestrova::platform::desktop {

// Which hot key a key event of the root window is, given the chords grabbed under each identifier. A held
// key repeats as presses alone (the connection asks for detectable auto-repeat), and only the first of them
// is reported, so each physical press gives one press and one release. Lock modifiers (Caps Lock, Num Lock)
// do not count.
class HotKeyPresses {
public:
    struct Outcome {
        // The event is one of the hot keys' and goes no further (repeats included).
        bool isHotKey = false;
        // What to report, when anything.
        std::optional<std::uint32_t> id;
        bool isPress = false;
    };

    // The modifier bits a chord may hold.
    static constexpr std::uint32_t chordModifiers =
        HotKeyChord::shiftMask | HotKeyChord::controlMask | HotKeyChord::altMask | HotKeyChord::superMask;

    Outcome keyEvent(const std::map<std::uint32_t, HotKeyChord> &chords, std::uint32_t keyCode,
                     std::uint32_t state, bool isPress);
    // The chord is no longer grabbed: a key still held is forgotten.
    void forget(HotKeyChord chord) {
        m_pressed.erase(chord);
        m_heldBeforeGrab.erase(chord);
    }
    void forgetAll() {
        m_pressed.clear();
        m_heldBeforeGrab.clear();
    }
    // A key was released to one of our windows, not to the grab: a chord grabbed while that key was down
    // (recorded by a focused field) is held no more, and its next press is a new one.
    void releasedOutsideGrab(std::uint32_t keyCode) {
        std::erase_if(m_pressed, [keyCode](const HotKeyChord &chord) { return chord.keyCode == keyCode; });
        std::erase_if(m_heldBeforeGrab,
                      [keyCode](const HotKeyChord &chord) { return chord.keyCode == keyCode; });
    }
    // The chord was grabbed while its key was down (a menu it opened closed under the held key): its
    // repeats and its release are the old press's, not a new one.
    void grabbedWhileHeld(HotKeyChord chord) {
        m_pressed.insert(chord);
        m_heldBeforeGrab.insert(chord);
    }

private:
    std::set<HotKeyChord> m_pressed;
    std::set<HotKeyChord> m_heldBeforeGrab;
};

} // namespace kestrova::platform::desktop

#include "HotKeyPresses.h"

namespace kestrova::platform::desktop {

namespace {

std::optional<std::uint32_t> idOf(const std::map<std::uint32_t, HotKeyChord> &chords, HotKeyChord chord) {
    for (const auto &[id, held] : chords) {
        if (held == chord)
            return id;
    }
    return std::nullopt;
}

} // namespace

HotKeyPresses::Outcome HotKeyPresses::keyEvent(const std::map<std::uint32_t, HotKeyChord> &chords,
                                               std::uint32_t keyCode, std::uint32_t state, bool isPress) {
    const HotKeyChord chord{keyCode, state & chordModifiers};
    const auto id = idOf(chords, chord);
    if (!id) {
        // The modifiers may have changed while the key was held: the release still ends the press.
        if (isPress)
            return {};
        for (auto pressed = m_pressed.begin(); pressed != m_pressed.end(); ++pressed) {
            if (pressed->keyCode == keyCode) {
                const HotKeyChord held = *pressed;
                m_pressed.erase(pressed);
                if (m_heldBeforeGrab.erase(held) != 0)
                    return {true, std::nullopt, false};
                return {true, idOf(chords, held), false};
            }
        }
        return {};
    }
    if (isPress) {
        // A repeat of a held key.
        if (!m_pressed.insert(chord).second)
            return {true, std::nullopt, true};
    } else if (m_pressed.erase(chord) == 0 || m_heldBeforeGrab.erase(chord) != 0) {
        return {true, std::nullopt, false};
    }
    return {true, id, isPress};
}

} // namespace kestrova::platform::desktop

#pragma once

#include "platform/desktop/hotkeys/HotKeyBackend.h"

#include <map>
#include <set>
#include <vector>

namespace kestrova::testing {

// Hot keys held in memory: refuses the chords in `heldElsewhere`, records every grab and release, and
// presses what a test tells it to.
class FakeHotKeyBackend final : public platform::desktop::HotKeyBackend {
public:
    using Chord = platform::desktop::HotKeyChord;

    bool grab(std::uint32_t id, Chord chord, const platform::desktop::HotKeyLabel &label) override {
        grabs.push_back(id);
        labels[id] = label;
        if (heldElsewhere.contains(chord))
            return false;
        grabbed[id] = chord;
        return true;
    }
    void release(std::uint32_t id) override {
        releases.push_back(id);
        grabbed.erase(id);
    }
    void forget(const QString &name) override { forgotten.push_back(name); }
    void releaseAll() override { grabbed.clear(); }
    std::optional<bool> isHeldElsewhere(Chord chord) override { return heldElsewhere.contains(chord); }
    std::optional<QString> assignedTrigger(std::uint32_t id) const override {
        const auto found = assigned.find(id);
        return found == assigned.end() ? std::nullopt : std::optional(found->second);
    }

    // What a desktop that chooses the keys itself does once it has bound a hot key: says which keys it gave.
    void assign(std::uint32_t id, const QString &trigger) {
        assigned[id] = trigger;
        assignedTriggersChanged();
    }

    // What the desktop does when the user presses (or releases) the chord: one event, for the first
    // identifier that holds it.
    void press(Chord chord, bool isPress = true) const {
        for (const auto &[id, held] : grabbed) {
            if (held == chord) {
                deliver(id, isPress);
                return;
            }
        }
    }

    std::map<std::uint32_t, Chord> grabbed;
    std::set<Chord> heldElsewhere;
    std::map<std::uint32_t, QString> assigned;
    std::vector<std::uint32_t> grabs;
    std::vector<std::uint32_t> releases;
    std::map<std::uint32_t, platform::desktop::HotKeyLabel> labels;
    std::vector<QString> forgotten;
};

} // namespace kestrova::testing

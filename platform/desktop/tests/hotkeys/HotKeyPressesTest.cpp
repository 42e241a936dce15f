#include "platform/desktop/hotkeys/HotKeyPresses.h"

#include <gtest/gtest.h>

using kestrova::platform::desktop::HotKeyChord;
using kestrova::platform::desktop::HotKeyPresses;

namespace {

constexpr std::uint32_t kCapsLock = 2;
constexpr std::uint32_t kNumLock = 16;
const HotKeyChord kSuperK{45, HotKeyChord::superMask};

struct Reported {
    std::uint32_t id;
    bool isPress;
    bool operator==(const Reported &) const = default;
};

// Feeds key events as the X server sends them and keeps what reaches the hot keys' owner.
struct Keyboard {
    std::map<std::uint32_t, HotKeyChord> chords{{7, kSuperK}};
    HotKeyPresses presses;
    std::vector<Reported> reported;

    bool event(std::uint32_t keyCode, std::uint32_t state, bool isPress) {
        const auto outcome = presses.keyEvent(chords, keyCode, state, isPress);
        if (outcome.id)
            reported.push_back({*outcome.id, outcome.isPress});
        return outcome.isHotKey;
    }
};

} // namespace

TEST(HotKeyPressesTest, AHeldKeyGivesOnePressAndOneRelease) {
    Keyboard keyboard;
    // Detectable auto-repeat: a held key sends presses alone, the release comes once at the end.
    for (int repeat = 0; repeat < 5; ++repeat)
        EXPECT_TRUE(keyboard.event(45, HotKeyChord::superMask | kNumLock, true));
    EXPECT_TRUE(keyboard.event(45, HotKeyChord::superMask | kNumLock, false));
    EXPECT_EQ(keyboard.reported, (std::vector<Reported>{{7, true}, {7, false}}));

    // Pressed again, it is a new press; Caps Lock changes nothing.
    keyboard.event(45, HotKeyChord::superMask | kCapsLock, true);
    keyboard.event(45, HotKeyChord::superMask | kCapsLock, true);
    EXPECT_EQ(keyboard.reported.size(), 3u);
    EXPECT_EQ(keyboard.reported.back(), (Reported{7, true}));
}

TEST(HotKeyPressesTest, TheReleaseEndsThePressWhenTheModifierWentFirstAndOtherKeysPassOn) {
    Keyboard keyboard;
    keyboard.event(45, HotKeyChord::superMask, true);
    // Super let go before K: the release comes without it, and still ends the press.
    EXPECT_TRUE(keyboard.event(45, 0, false));
    keyboard.event(45, HotKeyChord::superMask, true);
    EXPECT_EQ(keyboard.reported, (std::vector<Reported>{{7, true}, {7, false}, {7, true}}));

    // Not a hot key: K without Super, another key with Super, a stray release.
    keyboard.event(45, HotKeyChord::superMask, false);
    EXPECT_FALSE(keyboard.event(45, 0, true));
    EXPECT_FALSE(keyboard.event(46, HotKeyChord::superMask, true));
    EXPECT_FALSE(keyboard.event(46, 0, false));
    EXPECT_EQ(keyboard.reported.size(), 4u);

    // Let go of while held: the next press is a press again, not a repeat.
    keyboard.event(45, HotKeyChord::superMask, true);
    keyboard.presses.forget(kSuperK);
    keyboard.event(45, HotKeyChord::superMask, true);
    EXPECT_EQ(keyboard.reported.size(), 6u);
}

TEST(HotKeyPressesTest, AKeyHeldWhileItWasGrabbedAgainGivesNoNewPress) {
    Keyboard keyboard;
    keyboard.event(45, HotKeyChord::superMask, true);
    // Its menu opened and took the keyboard: the grab went, and the held key with it.
    keyboard.presses.forget(kSuperK);
    // The menu closed under the still held key: its repeats and its release belong to the first press.
    keyboard.presses.grabbedWhileHeld(kSuperK);
    for (int repeat = 0; repeat < 5; ++repeat)
        EXPECT_TRUE(keyboard.event(45, HotKeyChord::superMask, true));
    EXPECT_TRUE(keyboard.event(45, HotKeyChord::superMask, false));
    EXPECT_EQ(keyboard.reported, (std::vector<Reported>{{7, true}}));

    // The next press is a press again.
    keyboard.event(45, HotKeyChord::superMask, true);
    keyboard.event(45, HotKeyChord::superMask, false);
    EXPECT_EQ(keyboard.reported, (std::vector<Reported>{{7, true}, {7, true}, {7, false}}));
}

TEST(HotKeyPressesTest, AKeyGrabbedWhileHeldAndReleasedToOurWindowPressesAgain) {
    Keyboard keyboard;
    // A field recorded the key and it was grabbed under it; the release went to the field's window.
    keyboard.presses.grabbedWhileHeld(kSuperK);
    keyboard.presses.releasedOutsideGrab(45);
    EXPECT_TRUE(keyboard.event(45, HotKeyChord::superMask, true));
    EXPECT_TRUE(keyboard.event(45, HotKeyChord::superMask, false));
    EXPECT_EQ(keyboard.reported, (std::vector<Reported>{{7, true}, {7, false}}));
}

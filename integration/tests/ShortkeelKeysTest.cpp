#include "integration/ShortkeelKeys.h"

#include <gtest/gtest.h>

#include <set>

using namespace kestrova;
using namespace kestrova::Shortkeel;
using platform::Modifier;

namespace {

class ShortkeelKeysTest : public ::testing::Test {
protected:
    void SetUp() override { setKeyboardLayout(QStringLiteral("us")); }
    void TearDown() override { setKeyboardLayout({}); }
};

} // namespace

TEST_F(ShortkeelKeysTest, EveryKeySitsAtItsOwnPlaceOnThisKeyboard) {
    std::set<std::int64_t> codes;
    std::set<std::uint32_t> x11Codes;
    int keys = 0;
#define KESTROVA_CHECK_KEY(name, code, evdev)                                                                \
    ++keys;                                                                                                  \
    codes.insert(code);                                                                                      \
    if (const auto x11 = Key::name.x11KeyCode()) {                                                           \
        x11Codes.insert(*x11);                                                                               \
        EXPECT_EQ(Key::fromX11KeyCode(*x11), Key::name) << #name;                                            \
    }
    KESTROVA_SHORTKEEL_KEYS(KESTROVA_CHECK_KEY)
#undef KESTROVA_CHECK_KEY
    EXPECT_EQ(keys, 113);
    EXPECT_EQ(codes.size(), 113u);
    // Only Function has no key here.
    EXPECT_EQ(x11Codes.size(), 112u);
    EXPECT_EQ(Key::function.x11KeyCode(), std::nullopt);
    EXPECT_EQ(Key::k.x11KeyCode(), 45u);
    EXPECT_EQ(Key::escape.x11KeyCode(), 9u);
    EXPECT_EQ(Key::f13.x11KeyCode(), 191u);
    EXPECT_EQ(Key::mute.x11KeyCode(), 121u);
    EXPECT_EQ(Key::help.x11KeyCode(), 118u);
    EXPECT_EQ(Key::fromX11KeyCode(0), std::nullopt);

    EXPECT_EQ(shortcutOfX11Key(45, Modifier::command | Modifier::shift), (Shortcut{40, 768}));
    using Chord = platform::desktop::HotKeyChord;
    EXPECT_EQ(hotKeyChord(Shortcut{40, 768}), (Chord{45, Chord::superMask | Chord::shiftMask}));
    EXPECT_EQ(hotKeyChord(Shortcut{0, 2048 | 4096}), (Chord{38, Chord::altMask | Chord::controlMask}));
    EXPECT_EQ(hotKeyChord(Shortcut{0, 256 | 1}), std::nullopt);
    EXPECT_EQ(hotKeyChord(Shortcut{-1, 256}), std::nullopt);
    EXPECT_EQ(modifiers(Shortcut{0, 256 | 512 | 2048 | 4096 | 1}),
              Modifier::command | Modifier::shift | Modifier::option | Modifier::control);
}

TEST_F(ShortkeelKeysTest, DescriptionsAndKeyEquivalentsOnTheUsLayout) {
    EXPECT_EQ(description(Shortcut{40, 768}), QStringLiteral("\u21E7Super+K"));
    EXPECT_EQ(description(shortcut(Key::space, Modifier::control | Modifier::option)),
              QStringLiteral("\u2303\u2325\u23B5"));
    EXPECT_EQ(description(shortcut(Key::f5, Modifier::command)), QStringLiteral("Super+F5"));
    EXPECT_EQ(description(shortcut(Key::a, Modifier::command | Modifier::option)),
              QStringLiteral("\u2325Super+A"));
    EXPECT_EQ(keyEquivalent(Key::a.rawValue), QStringLiteral("a"));
    EXPECT_EQ(keyToCharacter(Key::keypad1.rawValue), keyToCharacter(Key::one.rawValue));
    EXPECT_EQ(keyToCharacter(Key::one.rawValue), QStringLiteral("1"));
    EXPECT_EQ(description(Shortcut{Key::f13.rawValue, 0}), QStringLiteral("F13"));
    EXPECT_EQ(keyEquivalent(Key::f13.rawValue), QString(QChar(0xF710)));
    EXPECT_EQ(keyEquivalent(Key::return_.rawValue), QStringLiteral("\u21A9"));
    EXPECT_EQ(keyEquivalent(Key::help.rawValue), QStringLiteral("?\u20DD"));
    // A key this keyboard has not, and a made-up code.
    EXPECT_EQ(description(Shortcut{Key::function.rawValue, 512}), QStringLiteral("\u21E7\uFFFD"));
    EXPECT_EQ(keyEquivalent(999), QString());

    // A dead key types nothing by itself: the modifiers alone show.
    setKeyboardLayout(QStringLiteral("fr"));
    EXPECT_EQ(keyToCharacter(Key::leftBracket.rawValue), QString());
    EXPECT_EQ(description(shortcut(Key::leftBracket, Modifier::control)), QStringLiteral("\u2303"));
    // The French layout types "a" at the place of the Q key.
    EXPECT_EQ(keyToCharacter(Key::q.rawValue), QStringLiteral("a"));
}

#include "platform/desktop/input/DesktopKeyboardState.h"

#include <gtest/gtest.h>

using namespace kestrova::platform;
using desktop::DesktopKeyboardState;

// A common X modifier mapping: Shift_L/R, Caps Lock, Control_L/R, Alt_L/Meta_L, Num Lock, none, Super_L/R,
// ISO_Level3_Shift; two key codes each, 0 for an empty place.
TEST(DesktopKeyboardStateTest, HeldKeysGiveTheChordsFlagsThroughTheModifierMapping) {
    const DesktopKeyboardState::ModifierMapping mapping{
        {{50, 62}, {66, 0}, {37, 105}, {64, 205}, {77, 0}, {0, 0}, {133, 134}, {92, 0}}};
    EXPECT_EQ(DesktopKeyboardState::flagsFromHeldKeys({}, mapping), 0U);
    EXPECT_EQ(DesktopKeyboardState::flagsFromHeldKeys({50, 105}, mapping),
              ModifierFlag::shift | ModifierFlag::control);
    EXPECT_EQ(DesktopKeyboardState::flagsFromHeldKeys({62, 37, 64, 134, 38}, mapping),
              ModifierFlag::shift | ModifierFlag::control | ModifierFlag::option | ModifierFlag::command);
    // Num Lock and AltGr are no key of a chord; Caps Lock is told apart (and ignored by the chords).
    EXPECT_EQ(DesktopKeyboardState::flagsFromHeldKeys({77, 92}, mapping), 0U);
    EXPECT_EQ(DesktopKeyboardState::flagsFromHeldKeys({66}, mapping), ModifierFlag::capsLock);
    // An empty place (key code 0) never matches.
    EXPECT_EQ(DesktopKeyboardState::flagsFromHeldKeys({0}, mapping), 0U);
}

#include "ui-kit/menus/CallbackMenuItem.h"
#include "ui-kit/menus/KvMenu.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace kestrova;
using platform::Modifier;

TEST(KvMenuTest, EventsReachObserversFirstThenTheClosuresInOrder) {
    auto menu = KvMenu::create(QStringLiteral("Folder"));
    QStringList events;
    // A new observer is first told the present state.
    auto openState =
        menu->observeOpenState([&](bool isOpen) { events << QStringLiteral("observer %1").arg(isOpen); });
    auto updates = menu->observeNeedsUpdate([&] { events << QStringLiteral("needs update"); });
    menu->setOnUpdateLegacy(
        [&](KvMenu &updated) { events << QStringLiteral("legacy %1").arg(updated.title()); });
    menu->setOnUpdate([&] { events << QStringLiteral("update"); });
    menu->setOnOpenClose(
        [&](bool isOpen) { events << QStringLiteral("closure %1 %2").arg(isOpen).arg(menu->isOpen()); });

    menu->menuNeedsUpdate();
    menu->menuWillOpen();
    menu->menuDidClose();
    EXPECT_EQ(events, (QStringList{"observer 0", "needs update", "update", "legacy Folder", "observer 1",
                                   "closure 1 1", "observer 0", "closure 0 0"}));

    // The last closure set wins; a closure may replace itself while it runs.
    events.clear();
    menu->setOnOpenClose([&](bool) {
        events << QStringLiteral("first");
        menu->setOnOpenClose([&](bool) { events << QStringLiteral("second"); });
    });
    menu->menuWillOpen();
    menu->menuDidClose();
    EXPECT_EQ(events, (QStringList{"observer 1", "first", "observer 0", "second"}));
}

TEST(KvMenuTest, CallbackItemsFollowTheirOptions) {
    auto menu = KvMenu::create();
    int quits = 0;
    const auto quit =
        addCallbackItem(*menu, QStringLiteral("Quit"), [&] { ++quits; }, {.key = QStringLiteral("q")});
    const auto option = addCallbackItem(*menu, QStringLiteral("Reveal"), [] {},
                                        {.key = QStringLiteral("q"), .keyModifiers = Modifier::option});
    const auto disabled = addCallbackItem(*menu, QStringLiteral("Nothing to Open"), [&] { ++quits; },
                                          {.isEnabled = false, .isChecked = true, .isHidden = true});

    // A key without modifiers is a Command shortcut.
    EXPECT_EQ(quit->keyEquivalentModifierMask(), platform::Modifiers(Modifier::command));
    EXPECT_EQ(option->keyEquivalentModifierMask(), platform::Modifiers(Modifier::option));
    EXPECT_TRUE(quit->isEnabled());
    EXPECT_EQ(quit->state(), platform::MenuItem::State::off);
    EXPECT_FALSE(disabled->isEnabled());
    EXPECT_EQ(disabled->state(), platform::MenuItem::State::on);
    EXPECT_TRUE(disabled->isHidden());

    EXPECT_TRUE(quit->performAction());
    EXPECT_FALSE(disabled->performAction());
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(menu->dump(), QStringLiteral("\"Quit\" [key Command+Q]\n"
                                           "\"Reveal\" [key Option+Q]\n"
                                           "\"Nothing to Open\" [disabled, hidden, on]\n"));

    // Emptying the menu releases the closures and what they hold.
    auto held = std::make_shared<int>(0);
    addCallbackItem(*menu, QStringLiteral("Holder"), [held] {});
    std::weak_ptr<int> weakHeld = held;
    held.reset();
    EXPECT_FALSE(weakHeld.expired());
    menu->removeAllItems();
    EXPECT_TRUE(weakHeld.expired());
}

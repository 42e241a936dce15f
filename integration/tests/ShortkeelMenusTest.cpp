#include "integration/CarbonShortkeel.h"
#include "integration/ShortkeelConflicts.h"
#include "integration/ShortkeelKeys.h"
#include "integration/ShortkeelMenuItem.h"
#include "integration/ShortkeelStorage.h"

#include "FakeHotKeyBackend.h"

#include "platform/menus/Menu.h"
#include "platform/menus/MenuItem.h"
#include "platform/defaults/UserDefaults.h"

#include <gtest/gtest.h>

using namespace kestrova;
using namespace kestrova::Shortkeel;
using platform::Modifier;
using Chord = platform::desktop::HotKeyChord;

namespace {

class ShortkeelMenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        setKeyboardLayout(QStringLiteral("us"));
        CarbonShortkeel::setBackend(backend);
    }
    void TearDown() override {
        for (const char *name : {"bound", "other"})
            platform::UserDefaults::standard()->removeObject(
                Name(QString::fromLatin1(name)).userDefaultsKey());
        CarbonShortkeel::setBackend(nullptr);
        setKeyboardLayout({});
    }

    static std::shared_ptr<platform::MenuItem> add(platform::Menu &menu, const QString &key,
                                                   platform::Modifiers mask) {
        auto item = std::make_shared<platform::MenuItem>(key);
        item->setKeyEquivalent(key);
        item->setKeyEquivalentModifierMask(mask);
        menu.addItem(item);
        return item;
    }

    std::shared_ptr<kestrova::testing::FakeHotKeyBackend> backend =
        std::make_shared<kestrova::testing::FakeHotKeyBackend>();
};

} // namespace

TEST_F(ShortkeelMenusTest, ShortcutsTakenByOtherProgramsOrOurOwnMenuItemsAreFound) {
    backend->heldElsewhere.insert(Chord{38, Chord::controlMask});
    EXPECT_TRUE(isSystemShortcut(shortcut(Key::a, Modifier::control)));
    EXPECT_FALSE(isSystemShortcut(shortcut(Key::a, Modifier::control | Modifier::shift)));
    // No key here: nothing can hold it.
    EXPECT_FALSE(isSystemShortcut(shortcut(Key::function, Modifier::control)));
    CarbonShortkeel::setBackend(std::make_shared<platform::desktop::NoHotKeyBackend>());
    EXPECT_FALSE(isSystemShortcut(shortcut(Key::a, Modifier::control)));

    platform::Menu menu;
    add(menu, QString(), Modifier::command);
    const auto quit = add(menu, QStringLiteral("Q"), Modifier::command);
    add(menu, QStringLiteral("w"), Modifier::command | Modifier::option);
    auto submenu = std::make_shared<platform::Menu>();
    const auto nested = add(*submenu, QStringLiteral("w"), Modifier::command);
    const auto nestedE = add(*submenu, QStringLiteral("e"), Modifier::command);
    auto holder = std::make_shared<platform::MenuItem>(QStringLiteral("More"));
    holder->setSubmenu(submenu);
    menu.addItem(holder);
    add(menu, QStringLiteral("e"), Modifier::command);

    // An upper-case key equivalent is Shift with the letter.
    EXPECT_EQ(menuItemWithMatchingShortcut(shortcut(Key::q, Modifier::command | Modifier::shift), menu),
              quit);
    EXPECT_EQ(menuItemWithMatchingShortcut(shortcut(Key::q, Modifier::command), menu), nullptr);
    // The modifiers must be the same, every one: the item with Option held matches only with Option.
    EXPECT_EQ(menuItemWithMatchingShortcut(shortcut(Key::w, Modifier::command), menu), nested);
    // Depth first: the submenu's item comes before a later one of the menu itself.
    EXPECT_EQ(menuItemWithMatchingShortcut(shortcut(Key::e, Modifier::command), menu), nestedE);
    EXPECT_EQ(menuItemWithMatchingShortcut(shortcut(Key::a, Modifier::command), menu), nullptr);
}

TEST_F(ShortkeelMenusTest, AMenuItemFollowsTheShortcutOfItsName) {
    const Name bound(QStringLiteral("bound"));
    auto item = std::make_shared<platform::MenuItem>(QStringLiteral("Toggle"));
    setShortcut(item, bound);
    EXPECT_EQ(item->keyEquivalent(), QString());

    setShortcut(shortcut(Key::k, Modifier::command | Modifier::shift), bound);
    EXPECT_EQ(item->keyEquivalent(), QStringLiteral("k"));
    EXPECT_EQ(item->keyEquivalentModifierMask(), Modifier::command | Modifier::shift);
    setShortcut(shortcut(Key::f13, {}), bound);
    EXPECT_EQ(item->keyEquivalent(), QString(QChar(0xF710)));
    EXPECT_EQ(item->keyEquivalentModifierMask(), platform::Modifiers());
    // Another name's change leaves it alone; a key without text here shows none.
    setShortcut(shortcut(Key::a, Modifier::control), Name(QStringLiteral("other")));
    EXPECT_EQ(item->keyEquivalent(), QString(QChar(0xF710)));
    setShortcut(shortcut(Key::function, Modifier::control), bound);
    EXPECT_EQ(item->keyEquivalent(), QString());
    EXPECT_EQ(item->keyEquivalentModifierMask(), Modifier::control);

    setShortcut(std::nullopt, bound);
    EXPECT_EQ(item->keyEquivalentModifierMask(), platform::Modifiers());

    // Bound to no name: empty, even where set by other means, and no longer following.
    item->setKeyEquivalent(QStringLiteral("x"));
    setShortcut(item, std::nullopt);
    EXPECT_EQ(item->keyEquivalent(), QString());
    setShortcut(shortcut(Key::k, Modifier::command), bound);
    EXPECT_EQ(item->keyEquivalent(), QString());
}

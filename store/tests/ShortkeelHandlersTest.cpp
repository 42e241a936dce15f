#include "store/ShortkeelHandlers.h"

#include "foundation/json/JsonText.h"
#include "platform/defaults/UserDefaults.h"
#include "store/testing/FakeShortcutService.h"

#include <gtest/gtest.h>

using namespace kestrova;
using platform::PropertyListValue;
using Shortkeel::Name;
using Shortkeel::Shortcut;

namespace {

class ShortkeelHandlersTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const char *name : {"toggleMenu", "first", "second", "cleared"})
            suite().removeObject(Name(QString::fromLatin1(name)).userDefaultsKey());
    }

    static platform::UserDefaults &suite() { return *platform::UserDefaults::standard(); }
    static void store(const QString &name, const std::optional<Shortcut> &shortcut) {
        suite().setObject(
            shortcut ? PropertyListValue(QString::fromStdString(JsonText::encode(shortcut->toJson())))
                     : PropertyListValue(false),
            Name(name).userDefaultsKey());
    }

    kestrova::testing::ScopedFakeShortcutService m_shortcuts;
};

} // namespace

TEST_F(ShortkeelHandlersTest, StoredShortcutsReadAsWrittenAndClearedOnesAsNone) {
    store(QStringLiteral("first"), Shortcut{40, 768});
    store(QStringLiteral("cleared"), std::nullopt);
    suite().setObject(PropertyListValue(QStringLiteral("{\"carbonKeyCode\":1}")),
                      Name(QStringLiteral("second")).userDefaultsKey());
    EXPECT_EQ(Shortkeel::getShortcut(Name(QStringLiteral("first"))), (Shortcut{40, 768}));
    EXPECT_EQ(Shortkeel::getShortcut(Name(QStringLiteral("cleared"))), std::nullopt);
    EXPECT_EQ(Shortkeel::getShortcut(Name(QStringLiteral("second"))), std::nullopt);
    EXPECT_EQ(Shortkeel::getShortcut(Name(QStringLiteral("toggleMenu"))), std::nullopt);
}

TEST_F(ShortkeelHandlersTest, KeyDownRunsTheListenersOfEveryNameBoundToTheShortcut) {
    const Shortcut shared{40, 768};
    store(QStringLiteral("first"), shared);
    store(QStringLiteral("second"), shared);
    store(QStringLiteral("toggleMenu"), Shortcut{12, 4096});
    std::vector<QString> ran;
    auto first =
        Shortkeel::onKeyDown(Name(QStringLiteral("first")), [&] { ran.push_back(QStringLiteral("first")); });
    auto toggle = Shortkeel::onKeyDown(Name::toggleMenu(), [&] { ran.push_back(QStringLiteral("toggle")); });
    auto second = Shortkeel::onKeyDown(Name(QStringLiteral("second")),
                                       [&] { ran.push_back(QStringLiteral("second")); });
    // Each shortcut's hot key goes live once, however many names share it.
    EXPECT_EQ(m_shortcuts.service().registrations, (std::vector<Shortcut>{shared, {12, 4096}}));

    Shortkeel::handleOnKeyDown(shared);
    EXPECT_EQ(ran, (std::vector<QString>{QStringLiteral("first"), QStringLiteral("second")}));
    ran.clear();
    Shortkeel::handleOnKeyDown(Shortcut{40, 256});
    EXPECT_TRUE(ran.empty());

    // The stored value decides, not the value at subscription time.
    store(QStringLiteral("first"), Shortcut{5, 256});
    Shortkeel::handleOnKeyDown(Shortcut{5, 256});
    EXPECT_EQ(ran, std::vector<QString>{QStringLiteral("first")});
    ran.clear();

    // A listener dropped by an earlier one during a press is not run for that press.
    second.cancel();
    platform::Subscription victim;
    auto dropper = Shortkeel::onKeyDown(Name(QStringLiteral("second")), [&] {
        ran.push_back(QStringLiteral("dropper"));
        victim.cancel();
    });
    victim = Shortkeel::onKeyDown(Name(QStringLiteral("second")),
                                  [&] { ran.push_back(QStringLiteral("victim")); });
    Shortkeel::handleOnKeyDown(shared);
    EXPECT_EQ(ran, std::vector<QString>{QStringLiteral("dropper")});
}

TEST_F(ShortkeelHandlersTest, TheHotKeyGoesDownWithItsLastListener) {
    const Shortcut shared{40, 768};
    store(QStringLiteral("first"), shared);
    store(QStringLiteral("second"), shared);
    int runs = 0;
    auto first = Shortkeel::onKeyDown(Name(QStringLiteral("first")), [&] { ++runs; });
    auto second = Shortkeel::onKeyDown(Name(QStringLiteral("second")), [&] { ++runs; });
    first.cancel();
    EXPECT_TRUE(m_shortcuts.service().unregistrations.empty()) << "still used by the second name";
    EXPECT_TRUE(m_shortcuts.service().registered.contains(shared));
    second.cancel();
    EXPECT_EQ(m_shortcuts.service().unregistrations, std::vector<Shortcut>{shared});
    EXPECT_FALSE(m_shortcuts.service().registered.contains(shared));
    Shortkeel::handleOnKeyDown(shared);
    EXPECT_EQ(runs, 0);
}

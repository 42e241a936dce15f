#include "menubar/FolderMenuShortcuts.h"

#include "FolderMenuTesting_p.h"

#include "foundation/json/JsonText.h"
#include "platform/menus/Menu.h"
#include "ui-kit/menus/KvMenu.h"

namespace kestrova {
namespace {

using testing::FolderMenuFixture;

class FolderMenuShortcutsTest : public FolderMenuFixture {
protected:
    void SetUp() override {
        FolderMenuFixture::SetUp();
        other = Folder(QUuid::createUuid(), folder.urlBookmark);
        third = Folder(QUuid::createUuid(), folder.urlBookmark);
        Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder, third, other});
        FolderMenuHooks::setShared({
            .cancelMenuTracking = [this](platform::Menu &menu) { closed.push_back(&menu); },
            .dispatchShortcutKeyDown =
                [this](const Shortkeel::Shortcut &shortcut) { dispatched.push_back(shortcut); },
        });
    }
    static void store(const Folder &stored, const std::optional<Shortkeel::Shortcut> &shortcut) {
        const Shortkeel::Name name(stored.id.toString(QUuid::WithoutBraces).toUpper());
        Defaults::Keys::folders().suite()->setObject(
            shortcut
                ? platform::PropertyListValue(QString::fromStdString(JsonText::encode(shortcut->toJson())))
                : platform::PropertyListValue(false),
            name.userDefaultsKey());
    }
    bool press(std::int64_t keyCode, platform::Modifiers modifiers) {
        return handleMenuKeyDown({MenuKeyEvent::Type::keyDown, keyCode, modifiers}, controller, *menu);
    }

    Folder other;
    Folder third;
    std::shared_ptr<KvMenu> menu = KvMenu::create();
    std::vector<platform::Menu *> closed;
    std::vector<Shortkeel::Shortcut> dispatched;
};

TEST_F(FolderMenuShortcutsTest, OwnShortcutClosesAnotherFoldersSwitchesAndOthersPassThrough) {
    using platform::Modifier;
    store(folder, Shortkeel::Shortcut{1, 256 | 2048});
    store(third, std::nullopt); // cleared: never matches
    store(other, Shortkeel::Shortcut{2, 4096 | 512});
    EXPECT_EQ(carbonModifiers(Modifier::command | Modifier::shift | Modifier::option | Modifier::control),
              256 + 512 + 2048 + 4096);

    EXPECT_TRUE(press(1, Modifier::command | Modifier::option));
    EXPECT_EQ(closed, std::vector<platform::Menu *>{menu.get()});
    EXPECT_TRUE(dispatched.empty());

    EXPECT_TRUE(press(2, Modifier::control | Modifier::shift));
    EXPECT_EQ(closed.size(), 2u);
    EXPECT_EQ(dispatched, (std::vector<Shortkeel::Shortcut>{{2, 4096 | 512}}));

    // Same key, other modifiers; an unbound key; a key that a cleared shortcut would have had.
    EXPECT_FALSE(press(2, Modifier::control));
    EXPECT_FALSE(press(9, {}));
    EXPECT_FALSE(press(0, {}));
    EXPECT_EQ(closed.size(), 2u);

    // Without a shortcut of its own, only the absence of a key matches the open folder.
    store(folder, std::nullopt);
    EXPECT_FALSE(press(1, Modifier::command | Modifier::option));
    EXPECT_TRUE(handleMenuKeyDown({MenuKeyEvent::Type::other, 0, {}}, controller, *menu));

    // Without the model hook the menu itself is told it closed.
    FolderMenuHooks::setShared({});
    menu->menuWillOpen();
    EXPECT_TRUE(press(2, Modifier::control | Modifier::shift));
    EXPECT_FALSE(menu->isOpen());

    const std::weak_ptr<FolderController> gone = std::exchange(controller, nullptr);
    EXPECT_FALSE(handleMenuKeyDown({MenuKeyEvent::Type::keyDown, 2, Modifier::control | Modifier::shift},
                                   gone, *menu));
}

} // namespace
} // namespace kestrova

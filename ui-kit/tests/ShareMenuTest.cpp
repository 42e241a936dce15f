#include "ui-kit/menus/ShareMenu.h"
#include "ui-kit/views/ShareButton.h"

#include "platform/desktop/menus/MenuPresenter.h"
#include "store/BookmarkData.h"
#include "store/SecurityScopedBookmarkManager.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeSharingServices.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(ShareMenuTest, ListsTheOfferedServicesOrSaysThereIsNothing) {
    testing::ScopedFakeSharingServices fake;
    const std::vector<QUrl> items{QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))};

    // No items, no rows at all (and nobody is asked).
    EXPECT_TRUE(SystemShareMenu::create({})->isEmpty());
    EXPECT_TRUE(fake.services().asked.empty());

    platform::Menu menu;
    auto item = addShareItem(menu, items);
    EXPECT_EQ(item->title(), QStringLiteral("Share"));
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(item->hasAction());
    EXPECT_EQ(menu.dump(), QStringLiteral("\"Share\" >\n  -----\n  \"Nothing to Share\" [disabled]\n"));
    ASSERT_EQ(fake.services().asked.size(), 1U);
    EXPECT_EQ(fake.services().asked[0], items);

    fake.services().services = {std::make_shared<testing::RecordingSharingService>(QStringLiteral("Email")),
                                std::make_shared<testing::RecordingSharingService>(QStringLiteral("Other"))};
    auto share = SystemShareMenu::create(items);
    EXPECT_EQ(share->title(), QStringLiteral("Share"));
    EXPECT_EQ(share->dump(), QStringLiteral("-----\n\"Email\"\n\"Other\"\n"));
}

TEST(ShareMenuTest, PerformsOnlyWhileTheMenuLivesAndPresentsFailures) {
    testing::ScopedFakeSharingServices fake;
    testing::ScopedScriptedPresenters presenters;
    auto email = std::make_shared<testing::RecordingSharingService>(QStringLiteral("Email"));
    fake.services().services = {email};
    const std::vector<QUrl> items{QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt")),
                                  QUrl::fromLocalFile(QStringLiteral("/tmp/b c.txt"))};

    auto share = SystemShareMenu::create(items);
    int clicks = 0;
    share->didClick = [&] {
        // Runs before the service.
        EXPECT_EQ(email->performed.size(), std::size_t(clicks));
        ++clicks;
    };
    auto row = share->items().back();
    ASSERT_TRUE(row->performAction());
    EXPECT_EQ(clicks, 1);
    ASSERT_EQ(email->performed.size(), 1U);
    EXPECT_EQ(email->performed[0], items);

    email->result = platform::WorkspaceResult::failed(QStringLiteral("“b c.txt” no longer exists."));
    row->performAction();
    ASSERT_TRUE(testing::processEventsUntil([&] { return !presenters.alerts().shownAlerts().empty(); }));
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].messageText,
              QStringLiteral("“Email” could not share the items."));
    EXPECT_TRUE(
        presenters.alerts().shownAlerts()[0].informativeText.contains(QStringLiteral("no longer exists")));

    // A row kept after its menu was released does nothing.
    share.reset();
    row->performAction();
    EXPECT_EQ(email->performed.size(), 2U);
    EXPECT_EQ(clicks, 2);
}

// The share menu's hooks, set for one test and cleared after it.
class ShareMenuHooks : public ::testing::Test {
protected:
    void TearDown() override {
        ShareMenu::hooks.items = {};
        ShareMenu::hooks.itemTypes = {};
        ShareMenu::hooks.customServices = {};
    }
    QStringList folderContents() const { return QDir(m_folder.path()).entryList(QDir::Files); }

    QTemporaryDir m_folder;
    QUrl folderURL() const { return QUrl::fromLocalFile(m_folder.path() + QLatin1Char('/')); }
};

TEST_F(ShareMenuHooks, TheLazyMenuAsksForItemsEachTimeAndSavesImagesUnderFreeNames) {
    testing::ScopedFakeSharingServices fake;
    testing::ScopedScriptedPresenters presenters;
    fake.services().services = {std::make_shared<testing::RecordingSharingService>(QStringLiteral("Email"))};
    SecurityScopedBookmarkManager::saveBookmark(BookmarkData::create(folderURL()), folderURL());
    auto save = std::make_shared<SaveImageSharingService>(folderURL());
    save->imageTitle = [] { return QStringLiteral("Sales/../Chart"); };
    ShareMenu::hooks.customServices = [save] { return std::vector<std::shared_ptr<KvSharingService>>{save}; };
    int asked = 0;
    QImage pixels(8, 4, QImage::Format_RGB32);
    pixels.fill(Qt::green);
    ShareMenu::hooks.items = [&] {
        ++asked;
        return std::vector<ShareItem>{KvImage(pixels)};
    };

    auto menu = std::make_shared<ShareMenu>();
    menu->menuNeedsUpdate();
    // Only the image service: the desktop's services take files, not pictures.
    EXPECT_EQ(menu->dump(), QStringLiteral("-----\n\"Save Image\"\n"));
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(menu->shareItems().has_value());
    ASSERT_TRUE(menu->items().back()->performAction());
    EXPECT_FALSE(menu->shareItems().has_value()) << "the items are asked for again next time";
    ASSERT_TRUE(testing::processEventsUntil([&] { return folderContents().size() == 1; }));
    // The title cannot lead out of the folder, and a second save keeps the first file.
    EXPECT_EQ(folderContents(), QStringList{QStringLiteral("Sales-..-Chart.png")});
    ASSERT_TRUE(menu->items().back()->performAction());
    EXPECT_EQ(asked, 2);
    ASSERT_TRUE(testing::processEventsUntil([&] { return folderContents().size() == 2; }));
    EXPECT_EQ(QImage(m_folder.filePath(QStringLiteral("Sales-..-Chart (1).png"))).pixelColor(0, 0),
              QColor(Qt::green));
    EXPECT_TRUE(presenters.alerts().shownAlerts().empty());

    // Files: the host's service cannot take them and steps aside; the desktop's come after a separator.
    ShareMenu::hooks.items = [] {
        return std::vector<ShareItem>{QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))};
    };
    menu->menuNeedsUpdate();
    EXPECT_EQ(menu->dump(), QStringLiteral("-----\n-----\n\"Email\"\n"));
    ASSERT_TRUE(menu->items().back()->performAction());
    EXPECT_EQ(fake.services().services[0]->performed.size(), 1U);

    // Types alone tell which services apply, and leave the items alone.
    ShareMenu::hooks.itemTypes = [] { return std::vector<ShareItemType>{ShareItemType::image}; };
    menu->menuNeedsUpdate();
    EXPECT_EQ(menu->dump(), QStringLiteral("-----\n\"Save Image\"\n"));
    EXPECT_FALSE(menu->shareItems().has_value());

    // Under a disabled item the menu keeps what it had.
    platform::Menu parent;
    auto holder = parent.addItem(std::make_shared<ShareMenuItem>());
    auto held = std::static_pointer_cast<ShareMenu>(holder->submenu());
    held->menuNeedsUpdate();
    holder->setEnabled(false);
    ShareMenu::hooks.itemTypes = [] { return std::vector<ShareItemType>{ShareItemType::url}; };
    held->menuNeedsUpdate();
    EXPECT_EQ(held->dump(), QStringLiteral("-----\n\"Save Image\"\n"));

    // A row kept after its menu is gone does nothing.
    auto row = menu->items().back();
    menu.reset();
    EXPECT_TRUE(row->performAction());
    testing::processEventsUntil([] { return false; });
    EXPECT_EQ(folderContents().size(), 2);
}

TEST_F(ShareMenuHooks, AShareButtonOpensTheSharedMenuWhenPressed) {
    testing::ScopedFakeSharingServices fake;
    fake.services().services = {std::make_shared<testing::RecordingSharingService>(QStringLiteral("Email"))};
    ShareMenu::hooks.items = [] {
        return std::vector<ShareItem>{QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))};
    };
    ShareButton button;
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    EXPECT_EQ(button.text(), QStringLiteral("Share"));
    QTest::mousePress(&button, Qt::LeftButton);
    QMenu *shown = nullptr;
    ASSERT_TRUE(testing::processEventsUntil([&] {
        shown = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        return shown && shown->isVisible();
    }));
    QStringList rows;
    for (QAction *action : shown->actions()) {
        if (!action->isSeparator())
            rows << action->text();
    }
    EXPECT_EQ(rows, QStringList{QStringLiteral("Email")});
    EXPECT_EQ(shown->pos().y(), button.mapToGlobal(QPoint(0, button.height() + 4)).y());
    ShareButton::presenter().close();

    ShareToolbarItem item;
    EXPECT_EQ(item.text(), QStringLiteral("Share"));
    EXPECT_NE(item.shareMenu(), ShareButton::sharedMenu());
}

} // namespace
} // namespace kestrova

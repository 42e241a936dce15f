#include "ui-kit/menus/ShareMenu.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeSharingServices.h"
#include "platform/testing/ScriptedPresenters.h"

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

} // namespace
} // namespace kestrova

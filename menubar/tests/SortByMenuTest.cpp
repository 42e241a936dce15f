#include "menubar/SortByMenu.h"

#include "FolderMenuTesting_p.h"

#include "platform/menus/Menu.h"
#include "ui-kit/menus/KvMenu.h"

namespace kestrova {
namespace {

using testing::FolderMenuFixture;

class SortByMenuTest : public FolderMenuFixture {
protected:
    static QString checkedTitles(const platform::Menu &menu) {
        QStringList titles;
        for (const auto &item : menu.items())
            if (item->state() == platform::MenuItem::State::on)
                titles << item->title();
        return titles.join(QLatin1Char(','));
    }
    static void choose(const platform::Menu &menu, const QString &title) {
        for (const auto &item : menu.items()) {
            if (item->title() == title) {
                ASSERT_TRUE(item->performAction());
            }
        }
    }
};

TEST_F(SortByMenuTest, DefaultFollowsTheFolderAndPickingTheCheckedOrderAgainClearsIt) {
    const QUrl sub = url::fromLocalPath("/data/sub", /*isDirectory=*/true);
    auto menu = buildSortBySubmenu(sub, folder);
    EXPECT_EQ(menu->dump(),
              QStringLiteral("\"Default (Name)\" [on]\n-----\n\"Name\"\n\"Date Added\"\n"
                             "\"Date Modified\"\n\"Date Created\"\n\"Date Accessed\"\n\"Kind\"\n"
                             "\"Tags\"\n"));

    choose(*menu, QStringLiteral("Kind"));
    const auto stored = Defaults::get(Defaults::Keys::subfolderSortOrder());
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored.begin()->first, QStringLiteral("file:///data/sub/"));
    EXPECT_EQ(stored.begin()->second, Folder::SortOrder::kind);
    // Stored as a dictionary of raw values.
    const auto raw = Defaults::Keys::folders().suite()->object(QStringLiteral("subfolderSortOrder"));
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->kind(), platform::PropertyListValue::Kind::dictionary);
    EXPECT_EQ(checkedTitles(*buildSortBySubmenu(sub, folder)), QStringLiteral("Kind"));

    // The same folder under another text is another entry.
    const QUrl withoutSlash = url::fromLocalPath("/data/sub");
    EXPECT_EQ(checkedTitles(*buildSortBySubmenu(withoutSlash, folder)), QStringLiteral("Default (Name)"));
    setSubfolderSortOrder(withoutSlash, Folder::SortOrder::tags);
    EXPECT_EQ(Defaults::get(Defaults::Keys::subfolderSortOrder()).size(), 2u);

    choose(*buildSortBySubmenu(sub, folder), QStringLiteral("Kind"));
    EXPECT_EQ(checkedTitles(*buildSortBySubmenu(sub, folder)), QStringLiteral("Default (Name)"));
    EXPECT_EQ(storedSubfolderSortOrder(withoutSlash), Folder::SortOrder::tags);

    choose(*buildSortBySubmenu(withoutSlash, folder), QStringLiteral("Default (Name)"));
    EXPECT_TRUE(Defaults::get(Defaults::Keys::subfolderSortOrder()).empty());

    folder.sortOrder = Folder::SortOrder::dateAccessed;
    EXPECT_EQ(buildSortBySubmenu(sub, folder)->items().front()->title(),
              QStringLiteral("Default (Date Accessed)"));
}

} // namespace
} // namespace kestrova

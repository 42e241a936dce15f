// The settings window as the user drives it: opened through the application's hook, every row changed with
// the keyboard, the stored keys and the autostart entry read back, and the window following changes made
// elsewhere.
#include "ScreenTesting_p.h"

#include "screens/settings/SettingsScreen.h"

#include "integration/Bootwick.h"
#include "store/DefaultsObservation.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>

namespace kestrova {
namespace {

using testing::processEventsUntil;

class SettingsScreenTest : public testing::ScreenTest {
protected:
    QWidget *openSettings() {
        SettingsWindowController::showWindow();
        QWidget *window = visibleWindowNamed(QStringLiteral("SettingsWindow"));
        EXPECT_NE(window, nullptr);
        if (window) {
            EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        }
        return window;
    }
    template <typename Widget> static Widget *child(QWidget *window, const QString &name) {
        auto *found = window->findChild<Widget *>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
};

TEST_F(SettingsScreenTest, EachToggleWritesItsKeyFromTheKeyboardAndFollowsTheStore) {
    QWidget *window = openSettings();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->width(), SettingsScreen::kWidth);
    EXPECT_GE(window->height(), 240);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // Without a single menu item, only the four toggles: no folder order.
    EXPECT_FALSE(child<QListWidget>(window, QStringLiteral("folderOrderList"))->isVisibleTo(window));

    auto *icons = child<QCheckBox>(window, QStringLiteral("showIconsInMenu"));
    auto *submenu = child<QCheckBox>(window, QStringLiteral("showFileAndDirectorySubmenu"));
    EXPECT_TRUE(icons->isChecked());
    QTest::keyClick(window, Qt::Key_I, Qt::AltModifier);
    EXPECT_TRUE(processEventsUntil([] { return !Defaults::get(Defaults::Keys::showIconsInMenu()); }));
    // Tab order runs down the rows: from the icons toggle to the submenu toggle, Space flips it.
    ASSERT_TRUE(processEventsUntil([&] { return icons->hasFocus(); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(submenu->hasFocus());
    QTest::keyClick(submenu, Qt::Key_Space);
    EXPECT_FALSE(Defaults::get(Defaults::Keys::showFileAndDirectorySubmenu()));

    // Launch at login writes and removes the autostart entry.
    QTest::keyClick(window, Qt::Key_L, Qt::AltModifier);
    EXPECT_TRUE(processEventsUntil([] { return Bootwick::isEnabled(); }));
    QTest::keyClick(window, Qt::Key_L, Qt::AltModifier);
    EXPECT_TRUE(processEventsUntil([] { return !Bootwick::isEnabled(); }));

    // Another process (or window) writes: the rows show it.
    Defaults::set(Defaults::Keys::showIconsInMenu(), true);
    EXPECT_TRUE(processEventsUntil([&] { return icons->isChecked(); }));

    // Asked again, the same window comes forward; Escape closes it, and Ctrl+W the next one.
    SettingsWindowController::showWindow();
    EXPECT_EQ(visibleWindowNamed(QStringLiteral("SettingsWindow")), window);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(processEventsUntil([] { return !visibleWindowNamed(QStringLiteral("SettingsWindow")); }));
    window = openSettings();
    ASSERT_TRUE(window);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(processEventsUntil([] { return !visibleWindowNamed(QStringLiteral("SettingsWindow")); }));
    Defaults::Keys::showIconsInMenu().reset();
    Defaults::Keys::showFileAndDirectorySubmenu().reset();
    EXPECT_EQ(started.size(), 0) << "no relaunch for the other toggles";
}

TEST_F(SettingsScreenTest, OneMenuItemForAllFoldersIsStoredThenRelaunchesIntoSettings) {
    QWidget *window = openSettings();
    ASSERT_TRUE(window);
    QTest::keyClick(window, Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(processEventsUntil([&] { return terminations == 1; }));
    EXPECT_TRUE(Defaults::get(Defaults::Keys::showFoldersInMenu()));
    EXPECT_EQ(started, QStringList{QCoreApplication::applicationFilePath()});
    // Written to disk before the new instance starts: it opens Settings at launch and clears the flag.
    platform::UserDefaults onDisk(platform::UserDefaults::standard()->filePath());
    const auto flag = onDisk.object(QStringLiteral("Kv_isShowingSettingsAfterRelaunch"));
    ASSERT_TRUE(flag && flag->getIf<bool>());
    EXPECT_TRUE(*flag->getIf<bool>());
    // The rows of a single menu item show at once, the folder order among them.
    EXPECT_TRUE(processEventsUntil([&] {
        return window->findChild<QListWidget *>(QStringLiteral("folderOrderList"))->isVisibleTo(window);
    }));
    EXPECT_TRUE(processEventsUntil([&] { return window->height() >= 500; })) << window->height();
}

TEST_F(SettingsScreenTest, AMoveStoresTheWholeListOnceWithEveryRecordUnchanged) {
    Folder alpha = addFolder(QStringLiteral("Alpha"));
    Folder beta = addFolder(QStringLiteral("Beta"));
    Folder gamma = addFolder(QStringLiteral("Gamma"));
    // Blank custom titles list under the folder's name.
    gamma.customTitle = QStringLiteral("   ");
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{alpha, beta, gamma});
    Defaults::set(Defaults::Keys::showFoldersInMenu(), true);
    const std::vector<Json> before = storedFolderJson();
    int writes = 0;
    auto counting = Defaults::observe<std::vector<Folder>>(
        Defaults::Keys::folders(), {}, [&](const Defaults::KeyChange<std::vector<Folder>> &) { ++writes; });

    QWidget *window = openSettings();
    ASSERT_TRUE(window);
    auto *list = child<QListWidget>(window, QStringLiteral("folderOrderList"));
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("Gamma"));

    // The last folder to the top with the keyboard: two moves, two writes.
    list->setFocus();
    list->setCurrentRow(2);
    QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
    QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(writes, 2);
    EXPECT_EQ(storedFolderJson(), (std::vector<Json>{before[2], before[0], before[1]}));
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Gamma"));

    // A drop (the model's move) writes once too.
    writes = 0;
    ASSERT_TRUE(list->model()->moveRow(QModelIndex(), 2, QModelIndex(), 0));
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(storedFolderJson(), (std::vector<Json>{before[1], before[2], before[0]}));

    // A folder removed elsewhere leaves the list at once; none left shows an empty section.
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{});
    EXPECT_TRUE(processEventsUntil([&] { return list->count() == 0; }));
    EXPECT_TRUE(list->isVisibleTo(window));
    counting->invalidate();
}

} // namespace
} // namespace kestrova

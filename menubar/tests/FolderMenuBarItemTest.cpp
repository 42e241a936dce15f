#include "menubar/FolderMenuBarItem.h"
#include "menubar/MainMenuBarItem.h"
#include "menubar/MenuBarItems.h"

#include "platform/desktop/tray/TrayStatusItem.h"
#include "platform/desktop/tray/XEmbedTrayIcon.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/ImageInk.h"
#include "store/BookmarkData.h"
#include "store/DefaultsKeys.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::testing::inkBounds;
using kestrova::testing::processEventsUntil;

namespace {

// The tray's own icon behind a status item.
const platform::desktop::XEmbedTrayIcon *trayIconOf(const std::shared_ptr<platform::StatusItem> &statusItem) {
    const auto *tray = dynamic_cast<const platform::desktop::TrayStatusItem *>(statusItem.get());
    return tray ? tray->trayIcon() : nullptr;
}

class FolderMenuBarItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        platform::StatusBar::setShared(std::make_shared<platform::desktop::TrayStatusBar>());
    }
    void TearDown() override {
        platform::StatusBar::setShared(nullptr);
        Defaults::Keys::folders().reset();
    }

    Folder makeFolder(const QString &name, Folder::MenuBarItemStyle style) {
        QDir(m_root.path()).mkpath(name);
        Folder folder(QUuid::createUuid(),
                      SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(m_root.filePath(name)))));
        folder.menuBarItemStyle = style;
        return folder;
    }

    QTemporaryDir m_root;
};

} // namespace

TEST_F(FolderMenuBarItemTest, EveryFolderIconIsOnTheTrayNamedByItsFolder) {
    {
        MenuBarItems items;
        ASSERT_NE(items.mainItem(), nullptr);
        const auto *mainIcon = trayIconOf(items.mainItem()->coordinator().statusItem());
        ASSERT_NE(mainIcon, nullptr);
        EXPECT_EQ(mainIcon->toolTip(), QStringLiteral("Kestrova"));
    }

    const std::vector<Folder> folders{
        makeFolder(QStringLiteral("Downloads"), Folder::MenuBarItemStyle::icon),
        makeFolder(QStringLiteral("Work Notes"), Folder::MenuBarItemStyle::title),
        makeFolder(QStringLiteral("Projects"), Folder::MenuBarItemStyle::iconAndTitle)};
    Defaults::set(Defaults::Keys::folders(), folders);
    MenuBarItems items;
    // Made a slice of time at a time: a slow machine may need a turn more.
    ASSERT_TRUE(processEventsUntil([&] { return items.folderItemIds().size() == 3u; }));
    for (const Folder &folder : folders) {
        const auto *trayIcon = trayIconOf(items.folderItem(folder.id)->coordinator().statusItem());
        ASSERT_NE(trayIcon, nullptr);
        EXPECT_EQ(trayIcon->toolTip(), folder.title());
        EXPECT_TRUE(trayIcon->isVisible()) << qPrintable(folder.title());
        EXPECT_FALSE(inkBounds(trayIcon->rendering(QSize(22, 22))).isEmpty()) << qPrintable(folder.title());
    }
}

#include "menubar/FolderMenuBarItem.h"

#include "FolderMenuTesting_p.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/RecordingWorkspace.h"
#include "platform/testing/ScriptedPresenters.h"
#include "ui-kit/menus/KvMenu.h"

namespace kestrova {
namespace {

using testing::processEventsUntil;

// The first item with this title, in the menu or any submenu already built.
std::shared_ptr<platform::MenuItem> findItem(const platform::Menu &menu, const QString &title) {
    for (const auto &item : menu.items()) {
        if (item->displayedTitle() == title)
            return item;
        if (item->submenu()) {
            if (auto found = findItem(*item->submenu(), title))
                return found;
        }
    }
    return nullptr;
}

// A desktop that cannot open folders: no file manager, nothing registered for them.
class OpenFolderFailureTest : public testing::FolderMenuFixture {
protected:
    void SetUp() override {
        FolderMenuFixture::SetUp();
        workspace.workspace().result = platform::WorkspaceResult::noApplication(
            QStringLiteral("No application is registered as handling this file"));
    }

    // Waits for the alert and checks that it names the folder and the remedy.
    void expectFolderAlert(std::size_t count) {
        ASSERT_TRUE(processEventsUntil([&] { return presenters.alerts().shownAlerts().size() == count; }));
        const platform::Alert &alert = presenters.alerts().shownAlerts().back();
        EXPECT_EQ(alert.messageText, QStringLiteral("The folder “%1” could not be opened.")
                                         .arg(QFileInfo(m_directory.path()).fileName()));
        EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Install a file manager")));
    }

    testing::ScopedRecordingWorkspace workspace;
    testing::ScopedScriptedPresenters presenters;
};

TEST_F(OpenFolderFailureTest, ARightClickOnTheTrayIconExplainsWhyTheFolderDidNotOpen) {
    const MenuBarItem item = FolderMenuBarItem::makeItem(folder, controller);
    ASSERT_TRUE(item.action);
    EXPECT_FALSE(item.action({.button = platform::StatusItemClick::Button::right}));
    ASSERT_EQ(workspace.workspace().requests.size(), 1U);
    EXPECT_EQ(workspace.workspace().requests[0].first, QStringLiteral("open"));
    expectFolderAlert(1);
}

TEST_F(OpenFolderFailureTest, OpenFolderInFileManagerExplainsWhyItDidNotOpen) {
    auto menu = KvMenu::create();
    controller->buildMenu(*menu);
    const auto open = findItem(*menu, QStringLiteral("Open Folder in File Manager"));
    ASSERT_TRUE(open);
    EXPECT_TRUE(open->performAction());
    expectFolderAlert(1);
}

} // namespace
} // namespace kestrova

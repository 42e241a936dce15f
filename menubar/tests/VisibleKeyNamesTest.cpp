#include "menubar/FileActions.h"
#include "menubar/FolderController.h"
#include "menubar/FolderMenuHooks.h"
#include "menubar/MainMenuBarItem.h"

#include "foundation/files/FileUrl.h"
#include "platform/observation/Binding.h"
#include "platform/menus/Menu.h"
#include "platform/testing/EventLoop.h"
#include "store/BookmarkData.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/utilities/LimitedAppRuns.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <limits>

namespace kestrova {
namespace {

// Key names of the other desktop, which a user here has no key for: this desktop's keyboards say Alt,
// Ctrl and Super.
const QRegularExpression
    kForeignKeyNames(QStringLiteral("\\b(Option|Command|Control|Cmd)(\\s+key|-click)\\b|[⌥⌘⌃]"),
                     QRegularExpression::CaseInsensitiveOption);

// Every text a menu shows, its submenus' included (each opened as the user would open it).
void collectTexts(platform::Menu &menu, std::vector<QString> &texts, int depth = 0) {
    for (const auto &item : menu.items()) {
        texts.push_back(item->displayedTitle());
        texts.push_back(item->toolTip());
        texts.push_back(item->accessibilityDescription());
        const auto &submenu = item->submenu();
        if (!submenu || !item->isEnabled() || depth > 4)
            continue;
        submenu->menuNeedsUpdate();
        submenu->menuWillOpen();
        // A subfolder's rows come once it is listed.
        EXPECT_TRUE(testing::processEventsUntil([&] { return !submenu->isAwaitingContents(); }));
        collectTexts(*submenu, texts, depth + 1);
        submenu->menuDidClose();
    }
}

// A folder with a file and a subfolder holding a file, so that every kind of submenu is built.
class VisibleKeyNamesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_directory.isValid());
        // What the application installs at start-up: the application section and the file actions.
        FolderMenuHooks hooks;
        hooks.addAppSection = [](platform::Binding<std::vector<Folder>> folders, KvMenu &menu) {
            MainMenuBarItem::appSection(std::move(folders), menu);
        };
        FolderMenuHooks::setShared(std::move(hooks));
        installFileActions();
        ASSERT_TRUE(QDir(m_directory.path()).mkpath(QStringLiteral("Projects")));
        for (const QString &name : {QStringLiteral("notes.txt"), QStringLiteral("Projects/plan.txt")}) {
            QFile file(m_directory.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("plan");
        }
        m_folder =
            Folder(QUuid::createUuid(), SandboxURLBookmark(BookmarkData::create(url::fromLocalPath(
                                            QFile::encodeName(m_directory.path()), /*isDirectory=*/true))));
        m_folders = {m_folder};
        m_controller = FolderController::create(
            platform::Binding<Folder>([this] { return m_folder; },
                                      [this](const Folder &value) { m_folder = value; }),
            platform::Binding<std::vector<Folder>>(
                [this] { return m_folders; },
                [this](const std::vector<Folder> &value) { m_folders = value; }));
    }
    void TearDown() override {
        m_controller.reset();
        FolderMenuHooks::setShared({});
    }

    QTemporaryDir m_directory;
    Folder m_folder;
    std::vector<Folder> m_folders;
    std::shared_ptr<FolderController> m_controller;
};

TEST_F(VisibleKeyNamesTest, MenusNameTheKeysOfThisDesktop) {
    // Tips show in the first runs only; another test of this process may have used them up already.
    const bool tipsShow =
        LimitedAppRuns::shared().runCount(QStringLiteral("tip_previewMenu_pressOptionKey6")) !=
        std::numeric_limits<qint64>::max();

    auto menu = KvMenu::create();
    m_controller->buildMenu(*menu);
    ASSERT_TRUE(testing::processEventsUntil([&] { return !menu->isAwaitingContents(); }));
    std::vector<QString> texts;
    collectTexts(*menu, texts);
    ASSERT_GT(texts.size(), 20U);

    bool sawFileTip = false;
    for (const QString &text : texts) {
        EXPECT_FALSE(kForeignKeyNames.match(text).hasMatch()) << text.toStdString();
        sawFileTip |= text.contains(QStringLiteral("to reveal more actions")) && text.startsWith("Tips:");
    }
    if (tipsShow) {
        EXPECT_TRUE(sawFileTip) << "the file submenu's tip was not shown, so its text went unchecked";
    }
}

} // namespace
} // namespace kestrova

// Folder status items on a desktop whose panel hosts status-notifier items: what the host reads of them,
// and the host's clicks going through the folder's own click rules.
#include "menubar/FolderController.h"
#include "menubar/FolderMenuBarItem.h"
#include "menubar/MenuBarItems.h"
#include "menubar/StatusItemVisibility.h"

#include "platform/desktop/MenuPresenter.h"
#include "platform/desktop/TrayStatusItem.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/InMemorySuite.h"
#include "platform/testing/PrivateSessionBus.h"
#include "platform/testing/RecordingWorkspace.h"
#include "platform/testing/ScriptedPresenters.h"
#include "platform/testing/StatusNotifierHost.h"
#include "store/BookmarkData.h"
#include "store/DefaultsKeys.h"

#include <QDir>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::testing::processEventsUntil;

namespace {

class StatusNotifierFolderItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_FALSE(m_bus.address().isEmpty()) << "dbus-daemon did not start";
        ASSERT_TRUE(m_host.start());
        platform::StatusBar::setShared(std::make_shared<platform::desktop::TrayStatusBar>(
            platform::desktop::StatusNotifierBus{m_bus.address()}));
    }
    void TearDown() override {
        platform::StatusBar::setShared(nullptr);
        Defaults::Keys::folders().reset();
    }

    Folder makeFolder(const QString &name) {
        QDir(m_root.path()).mkpath(name);
        Folder folder(QUuid::createUuid(),
                      SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(m_root.filePath(name)))));
        folder.menuBarItemStyle = Folder::MenuBarItemStyle::iconAndTitle;
        return folder;
    }
    static platform::desktop::TrayStatusItem &trayItemOf(MenuBarItems &items, const Folder &folder) {
        auto *tray = dynamic_cast<platform::desktop::TrayStatusItem *>(
            items.folderItem(folder.id)->coordinator().statusItem().get());
        EXPECT_NE(tray, nullptr);
        return *tray;
    }
    // The bus name of a folder's item once the host has it.
    QString serviceOf(MenuBarItems &items, const Folder &folder) {
        const auto *notifier = trayItemOf(items, folder).notifierItem();
        const QString service = notifier ? notifier->serviceName() : QString();
        EXPECT_TRUE(processEventsUntil([&] { return m_host.registeredItems().contains(service); }));
        return service;
    }

    QTemporaryDir m_root;
    kestrova::testing::PrivateSessionBus m_bus;
    kestrova::testing::StatusNotifierHost m_host{m_bus.address()};
    kestrova::testing::ScopedRecordingWorkspace m_workspace;
};

} // namespace

TEST_F(StatusNotifierFolderItemTest, EachFolderIsAnItemOfItsOwnNamedByTheFolder) {
    Folder downloads = makeFolder(QStringLiteral("Downloads"));
    const Folder projects = makeFolder(QStringLiteral("Projects"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{downloads, projects});
    MenuBarItems items;
    const QString downloadsService = serviceOf(items, downloads);
    const QString projectsService = serviceOf(items, projects);
    EXPECT_EQ(m_host.registeredItems().size(), 2);

    for (const auto &[folder, service] :
         {std::pair{downloads, downloadsService}, std::pair{projects, projectsService}}) {
        const QVariantMap properties = m_host.properties(service);
        EXPECT_EQ(properties.value(QStringLiteral("Id")).toString(),
                  QStringLiteral("org.kestrova.Kestrova-") + folder.id.toString(QUuid::WithoutBraces));
        EXPECT_EQ(properties.value(QStringLiteral("Title")).toString(), folder.title());
        EXPECT_EQ(m_host.toolTip(service)->title, folder.title());
        EXPECT_EQ(m_host.iconPixmaps(service).size(), 5);
    }

    // A renamed folder tells the host, which reads the new name.
    const QString sender = m_host.ownerOf(downloadsService);
    m_host.clearSignals();
    downloads.customTitle = QStringLiteral("Incoming");
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{downloads, projects});
    ASSERT_TRUE(
        processEventsUntil([&] { return m_host.signalCount(sender, QStringLiteral("NewTitle")) == 1; }));
    EXPECT_EQ(m_host.properties(downloadsService).value(QStringLiteral("Title")).toString(),
              QStringLiteral("Incoming"));
    EXPECT_EQ(m_host.signalCount(m_host.ownerOf(projectsService), QStringLiteral("NewTitle")), 0);
}

TEST_F(StatusNotifierFolderItemTest, TheHostsClicksOpenTheFolderMenuOrTheFolder) {
    const Folder folder = makeFolder(QStringLiteral("Docs"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;
    const QString service = serviceOf(items, folder);
    auto &tray = trayItemOf(items, folder);
    tray.presenter().setModifierSource([] { return Qt::KeyboardModifiers(); });

    // A plain click (Activate) opens the folder's menu.
    ASSERT_TRUE(m_host.click(service, QStringLiteral("Activate"), 40, 10));
    ASSERT_TRUE(processEventsUntil(
        [&] { return tray.presenter().openMenu() && tray.presenter().openMenu()->isVisible(); }));
    EXPECT_TRUE(items.folderItem(folder.id)->folderController()->isMenuOpen());
    EXPECT_FALSE(tray.presenter().openMenu()->actions().isEmpty());
    EXPECT_TRUE(m_workspace.workspace().requests.empty());
    tray.closeMenu();
    ASSERT_TRUE(processEventsUntil([&] { return !tray.isMenuOpen(); }));

    // The host's menu request and its secondary click are the right click: the folder opens instead.
    const QUrl folderUrl = QUrl::fromLocalFile(m_root.filePath(QStringLiteral("Docs")));
    for (const QString &method : {QStringLiteral("ContextMenu"), QStringLiteral("SecondaryActivate")}) {
        const std::size_t before = m_workspace.workspace().requests.size();
        ASSERT_TRUE(m_host.click(service, method, 40, 10));
        ASSERT_TRUE(processEventsUntil([&] { return m_workspace.workspace().requests.size() == before + 1; }))
            << qPrintable(method);
        EXPECT_EQ(m_workspace.workspace().requests.back().first, QStringLiteral("open"));
        EXPECT_EQ(m_workspace.workspace().requests.back().second.adjusted(QUrl::StripTrailingSlash),
                  folderUrl.adjusted(QUrl::StripTrailingSlash));
        EXPECT_FALSE(tray.isMenuOpen()) << qPrintable(method);
    }
}

TEST_F(StatusNotifierFolderItemTest, TheHintSpeaksUpWhileNoHostDrawsTheIcons) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    const auto suite = kestrova::testing::makeInMemorySuite();
    const auto check = [&](const std::shared_ptr<platform::StatusItem> &item) {
        kestrova::testing::awaitTask(
            StatusItemVisibility::check(item, std::nullopt, {.delay = {}, .suite = suite}));
    };
    const Folder folder = makeFolder(QStringLiteral("Docs"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});

    // A watcher whose panel has not registered as a host: the icon is nowhere.
    ASSERT_TRUE(m_host.start(/*hostRegistered=*/false));
    {
        MenuBarItems items;
        serviceOf(items, folder);
        check(items.folderItem(folder.id)->coordinator().statusItem());
        ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1U);
        EXPECT_EQ(presenters.alerts().shownAlerts().back().messageText,
                  QStringLiteral("Menu Bar Item Did Not Appear"));
    }

    // With a host the icon is drawn, though nobody tells where.
    ASSERT_TRUE(m_host.start(/*hostRegistered=*/true));
    MenuBarItems items;
    const auto statusItem = items.folderItem(folder.id)->coordinator().statusItem();
    serviceOf(items, folder);
    ASSERT_TRUE(processEventsUntil([&] { return statusItem->isTrayAvailable(); }));
    check(statusItem);
    EXPECT_EQ(presenters.alerts().shownAlerts().size(), 1U);
}

// Folder status items on a desktop whose panel hosts status-notifier items: what the host reads of them,
// and the host's clicks going through the folder's own click rules.
#include "menubar/FileActions.h"
#include "menubar/FolderController.h"
#include "menubar/FolderMenuHooks.h"
#include "menubar/StatusItemVisibility.h"

#include "FolderMenuTesting_p.h"
#include "StatusNotifierFolderFixture_p.h"

#include "foundation/json/JsonText.h"
#include "platform/desktop/menus/DBusMenuExporter.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/testing/InMemorySuite.h"
#include "platform/testing/ScriptedPresenters.h"
#include "store/ShortkeelHandlers.h"
#include "store/testing/FakeShortcutService.h"

#include <QApplication>
#include <QDBusPendingCall>
#include <QMenu>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::testing::DBusMenuLayoutItem;
using kestrova::testing::kMenuPath;
using kestrova::testing::processEventsUntil;

using StatusNotifierFolderItemTest = kestrova::testing::StatusNotifierFolderFixture;

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

TEST_F(StatusNotifierFolderItemTest, TheHostShowsTheFolderMenuItReadsOverTheBus) {
    const Folder folder = makeFolder(QStringLiteral("Docs"));
    writeFile(QStringLiteral("Docs/alpha.txt"));
    QDir(m_root.path()).mkpath(QStringLiteral("Docs/Sub"));
    writeFile(QStringLiteral("Docs/Sub/inner.txt"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;
    const QString service = serviceOf(items, folder);
    const auto controller = items.folderItem(folder.id)->folderController();
    EXPECT_EQ(m_host.properties(service).value(QStringLiteral("Menu")).value<QDBusObjectPath>().path(),
              kMenuPath);
    EXPECT_EQ(m_host.properties(service).value(QStringLiteral("ItemIsMenu")), QVariant(false));

    // Read before the host ever opens it, the menu already has the folder's entries.
    EXPECT_TRUE(labels(layout(service)).contains(QStringLiteral("alpha.txt")))
        << qPrintable(labels(layout(service)).join(QLatin1Char('|')));

    // Each opening builds the menu afresh from the disk, and the folder's open state follows the host's.
    writeFile(QStringLiteral("Docs/beta.txt"));
    callMenu(service, QStringLiteral("AboutToShow"), {0});
    sendEvent(service, 0, QStringLiteral("opened"));
    EXPECT_TRUE(controller->isMenuOpen());
    DBusMenuLayoutItem root = layout(service);
    EXPECT_TRUE(labels(root).contains(QStringLiteral("alpha.txt")));
    EXPECT_TRUE(labels(root).contains(QStringLiteral("beta.txt")))
        << qPrintable(labels(root).join(QLatin1Char('|')));

    // The subfolder's rows are there once the host is about to show it.
    const int sub = idOf(root, QStringLiteral("Sub"));
    ASSERT_GT(sub, 0) << qPrintable(labels(root).join(QLatin1Char('|')));
    callMenu(service, QStringLiteral("AboutToShow"), {sub});
    EXPECT_TRUE(labels(layout(service, sub)).contains(QStringLiteral("inner.txt")))
        << qPrintable(labels(layout(service, sub)).join(QLatin1Char('|')));
    sendEvent(service, 0, QStringLiteral("closed"));
    EXPECT_FALSE(controller->isMenuOpen());

    // A click on a file's row opens the file.
    callMenu(service, QStringLiteral("AboutToShow"), {0});
    root = layout(service);
    const int alpha = idOf(root, QStringLiteral("alpha.txt"));
    ASSERT_GT(alpha, 0);
    sendEvent(service, alpha, QStringLiteral("clicked"));
    ASSERT_TRUE(processEventsUntil([&] { return !m_workspace.workspace().requests.empty(); }));
    EXPECT_EQ(m_workspace.workspace().requests.back().second,
              QUrl::fromLocalFile(m_root.filePath(QStringLiteral("Docs/alpha.txt"))));
    EXPECT_FALSE(controller->isMenuOpen());
}

TEST_F(StatusNotifierFolderItemTest, AHostAskingToShowASlowFolderIsAnsweredOnceItsRowsAreThere) {
    const Folder folder = makeFolder(QStringLiteral("Slow"));
    writeFile(QStringLiteral("Slow/alpha.txt"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;
    const QString service = serviceOf(items, folder);
    // The host's own connection, whose calls run beside the test's.
    auto host = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("slow-host"));
    const auto askToShow = [&] {
        QDBusMessage call = QDBusMessage::createMethodCall(service, kMenuPath, kestrova::testing::kDBusMenu,
                                                           QStringLiteral("AboutToShow"));
        call.setArguments({0});
        return host.asyncCall(call, 10000);
    };
    const auto listed = [&] { return labels(layout(service)).contains(QStringLiteral("alpha.txt")); };
    {
        kestrova::testing::StalledDirectories stalled("/Slow");
        QDBusPendingCall shown = askToShow();
        ASSERT_TRUE(processEventsUntil([&] { return stalled.blockedCount() == 1; }));
        // While the folder is listed the application answers everyone, the host's other calls included;
        // the host's question waits for the rows.
        EXPECT_EQ(m_host.properties(service).value(QStringLiteral("Title")).toString(), folder.title());
        EXPECT_FALSE(listed());
        EXPECT_FALSE(shown.isFinished());
        stalled.release();
        ASSERT_TRUE(processEventsUntil([&] { return shown.isFinished(); }));
        ASSERT_FALSE(shown.isError()) << qPrintable(shown.error().message());
        EXPECT_EQ(shown.reply().arguments().value(0), QVariant(true));
        EXPECT_TRUE(listed()) << qPrintable(labels(layout(service)).join(QLatin1Char('|')));
    }
    sendEvent(service, 0, QStringLiteral("closed"));

    // A listing that never ends still gets the host an answer, after a bounded wait: read the menu again.
    // The rows follow once they come.
    writeFile(QStringLiteral("Slow/beta.txt"));
    {
        kestrova::testing::StalledDirectories stalled("/Slow");
        QDBusPendingCall shown = askToShow();
        ASSERT_TRUE(processEventsUntil([&] { return shown.isFinished(); }));
        EXPECT_EQ(stalled.blockedCount(), 1);
        EXPECT_EQ(FolderContentsLoader::runningCount(), 1);
        ASSERT_FALSE(shown.isError()) << qPrintable(shown.error().message());
        EXPECT_EQ(shown.reply().arguments().value(0), QVariant(true));
        stalled.release();
        EXPECT_TRUE(processEventsUntil([&] {
            return labels(layout(service)).contains(QStringLiteral("beta.txt"));
        })) << qPrintable(labels(layout(service)).join(QLatin1Char('|')));
    }
    sendEvent(service, 0, QStringLiteral("closed"));

    // A slow subfolder, opened as the panels ask, several menus at once: answered with its rows.
    QDir(m_root.path()).mkpath(QStringLiteral("Slow/Deep"));
    writeFile(QStringLiteral("Slow/Deep/inner.txt"));
    callMenu(service, QStringLiteral("AboutToShow"), {0});
    const int deep = idOf(layout(service), QStringLiteral("Deep"));
    ASSERT_GT(deep, 0) << qPrintable(labels(layout(service)).join(QLatin1Char('|')));
    {
        kestrova::testing::StalledDirectories stalled("/Deep");
        QDBusMessage call = QDBusMessage::createMethodCall(service, kMenuPath, kestrova::testing::kDBusMenu,
                                                           QStringLiteral("AboutToShowGroup"));
        call.setArguments({QVariant::fromValue(QList<int>{deep, -7})});
        QDBusPendingCall shown = host.asyncCall(call, 10000);
        ASSERT_TRUE(processEventsUntil([&] { return stalled.blockedCount() == 1; }));
        EXPECT_FALSE(labels(layout(service, deep)).contains(QStringLiteral("inner.txt")));
        EXPECT_FALSE(shown.isFinished());
        stalled.release();
        ASSERT_TRUE(processEventsUntil([&] { return shown.isFinished(); }));
        ASSERT_FALSE(shown.isError()) << qPrintable(shown.error().message());
        EXPECT_EQ(qdbus_cast<QList<int>>(shown.reply().arguments().value(0)), QList<int>{deep});
        EXPECT_EQ(qdbus_cast<QList<int>>(shown.reply().arguments().value(1)), QList<int>{-7});
        EXPECT_TRUE(labels(layout(service, deep)).contains(QStringLiteral("inner.txt")))
            << qPrintable(labels(layout(service, deep)).join(QLatin1Char('|')));
    }
    sendEvent(service, 0, QStringLiteral("closed"));
    QDBusConnection::disconnectFromBus(QStringLiteral("slow-host"));
}

// A host that reads a menu it never opened (no AboutToShow) gets the folder's rows: the answer waits for the
// listing, bounded, while everything else is answered; past the bound it gets what there is and is told of
// the rows once they come.
TEST_F(StatusNotifierFolderItemTest, AHostReadingAMenuItNeverOpenedIsAnsweredOnceTheFolderIsListed) {
    const Folder slow = makeFolder(QStringLiteral("Slow"));
    writeFile(QStringLiteral("Slow/alpha.txt"));
    const Folder hung = makeFolder(QStringLiteral("Hung"));
    writeFile(QStringLiteral("Hung/beta.txt"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{slow, hung});
    MenuBarItems items;
    auto host = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("reading-host"));
    const auto read = [&](const QString &service) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, kMenuPath, kestrova::testing::kDBusMenu,
                                                           QStringLiteral("GetLayout"));
        call.setArguments({0, -1, QStringList()});
        return host.asyncCall(call, 10000);
    };
    {
        const QString service = serviceOf(items, slow);
        kestrova::testing::StalledDirectories stalled("/Slow");
        QDBusPendingCall reading = read(service);
        ASSERT_TRUE(processEventsUntil([&] { return stalled.blockedCount() == 1; }));
        EXPECT_EQ(m_host.properties(service).value(QStringLiteral("Title")).toString(), slow.title());
        EXPECT_FALSE(reading.isFinished());
        stalled.release();
        ASSERT_TRUE(processEventsUntil([&] { return reading.isFinished(); }));
        ASSERT_FALSE(reading.isError()) << qPrintable(reading.error().message());
        EXPECT_TRUE(labels(layoutIn(reading.reply())).contains(QStringLiteral("alpha.txt")))
            << qPrintable(labels(layoutIn(reading.reply())).join(QLatin1Char('|')));
    }
    {
        const QString service = serviceOf(items, hung);
        QSignalSpy updates(trayItemOf(items, hung).notifierItem()->menuExporter(),
                           &platform::desktop::DBusMenuExporter::LayoutUpdated);
        kestrova::testing::StalledDirectories stalled("/Hung");
        QDBusPendingCall reading = read(service);
        ASSERT_TRUE(processEventsUntil([&] { return reading.isFinished(); }));
        ASSERT_FALSE(reading.isError()) << qPrintable(reading.error().message());
        const QStringList before = labels(layoutIn(reading.reply()));
        EXPECT_FALSE(before.isEmpty());
        EXPECT_FALSE(before.contains(QStringLiteral("beta.txt")));
        EXPECT_EQ(updates.count(), 0);
        stalled.release();
        ASSERT_TRUE(processEventsUntil([&] { return updates.count() > 0; }));
        EXPECT_EQ(updates.last().value(1).toInt(), 0);
        EXPECT_TRUE(labels(layout(service)).contains(QStringLiteral("beta.txt")))
            << qPrintable(labels(layout(service)).join(QLatin1Char('|')));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("reading-host"));
}

TEST_F(StatusNotifierFolderItemTest, OnWaylandTheHostShowsTheMenuAndNoWindowOfOursOpens) {
    useDisplayPlatform(QStringLiteral("wayland"));
    const Folder folder = makeFolder(QStringLiteral("Docs"));
    writeFile(QStringLiteral("Docs/alpha.txt"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;
    const QString service = serviceOf(items, folder);
    auto &tray = trayItemOf(items, folder);
    tray.presenter().setModifierSource([] { return Qt::KeyboardModifiers(); });
    EXPECT_EQ(m_host.properties(service).value(QStringLiteral("ItemIsMenu")), QVariant(true));

    // A plain click, then a right click that opens the folder: once that is done, the plain one was too.
    ASSERT_TRUE(m_host.click(service, QStringLiteral("Activate"), 40, 10));
    ASSERT_TRUE(m_host.click(service, QStringLiteral("ContextMenu"), 40, 10));
    ASSERT_TRUE(processEventsUntil([&] { return !m_workspace.workspace().requests.empty(); }));
    EXPECT_EQ(tray.presenter().openMenu(), nullptr);
    for (const QWidget *widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(widget->isVisible()) << widget->metaObject()->className();

    // The host shows the exported menu instead.
    callMenu(service, QStringLiteral("AboutToShow"), {0});
    EXPECT_TRUE(labels(layout(service)).contains(QStringLiteral("alpha.txt")));
    EXPECT_TRUE(items.folderItem(folder.id)->folderController()->isMenuOpen());
    sendEvent(service, 0, QStringLiteral("closed"));
}

TEST_F(StatusNotifierFolderItemTest, AHostMenuDismissedWithoutAWordGivesWayToAClickAndTheHotKey) {
    kestrova::testing::ScopedFakeShortcutService shortcuts;
    const Folder folder = makeFolder(QStringLiteral("Docs"));
    writeFile(QStringLiteral("Docs/alpha.txt"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    const Shortkeel::Shortcut hotKey{40, 768};
    Defaults::Keys::folders().suite()->setObject(
        platform::PropertyListValue(QString::fromStdString(JsonText::encode(hotKey.toJson()))),
        folder.shortcutName().userDefaultsKey());
    MenuBarItems items;
    const QString service = serviceOf(items, folder);
    auto &tray = trayItemOf(items, folder);
    tray.presenter().setModifierSource([] { return Qt::KeyboardModifiers(); });
    const auto controller = items.folderItem(folder.id)->folderController();
    const auto popupShows = [&] {
        return tray.presenter().openMenu() && tray.presenter().openMenu()->isVisible();
    };

    // The panel draws the menu on a right click; Escape closes it and the panel says nothing.
    callMenu(service, QStringLiteral("AboutToShowGroup"), {QVariant::fromValue(QList<int>{0})});
    EXPECT_TRUE(labels(layout(service)).contains(QStringLiteral("alpha.txt")));
    EXPECT_TRUE(controller->isMenuOpen());
    // A left click on the icon at once: our menu opens.
    ASSERT_TRUE(m_host.click(service, QStringLiteral("Activate"), 40, 10));
    ASSERT_TRUE(processEventsUntil(popupShows));
    tray.closeMenu();
    ASSERT_TRUE(processEventsUntil([&] { return !tray.isMenuOpen() && !controller->isMenuOpen(); }));

    // Dismissed again and left alone: the folder is not held open, its hot key is live again and opens
    // our menu.
    callMenu(service, QStringLiteral("AboutToShow"), {0});
    EXPECT_TRUE(controller->isMenuOpen());
    ASSERT_TRUE(processEventsUntil(
        [&] { return !controller->isMenuOpen() && shortcuts.service().hotKeys.contains(hotKey); }));
    Shortkeel::handleOnKeyDown(hotKey);
    ASSERT_TRUE(processEventsUntil(popupShows));
    tray.closeMenu();
}

TEST_F(StatusNotifierFolderItemTest, TheLayoutAHostKeepsIsNeverEmptyFollowsTheFolderAndHasSingleLines) {
    installFileActions();
    const struct Uninstall {
        ~Uninstall() { FolderMenuHooks::setShared({}); }
    } uninstall;
    const Folder folder = makeFolder(QStringLiteral("Docs"));
    writeFile(QStringLiteral("Docs/alpha.txt"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;
    const QString service = serviceOf(items, folder);
    const auto controller = items.folderItem(folder.id)->folderController();

    // A file's submenu, as the host shows it: no tip about keys or dragging, no label of two lines.
    callMenu(service, QStringLiteral("AboutToShow"), {0});
    const DBusMenuLayoutItem root = layout(service);
    const int alpha = idOf(root, QStringLiteral("alpha.txt"));
    ASSERT_GT(alpha, 0) << qPrintable(labels(root).join(QLatin1Char('|')));
    callMenu(service, QStringLiteral("AboutToShow"), {alpha});
    const QStringList fileRows = labels(layout(service, alpha));
    EXPECT_TRUE(fileRows.contains(QStringLiteral("Move to Trash")))
        << qPrintable(fileRows.join(QLatin1Char('|')));
    for (const QString &label : fileRows) {
        EXPECT_FALSE(label.contains(QLatin1Char('\n'))) << qPrintable(label);
        EXPECT_FALSE(label.contains(QStringLiteral("Alt key"))) << qPrintable(label);
    }

    // A row chosen: what the host reads next, without asking first, is the whole menu again (once the
    // folder is listed anew, or after the longest wait and the announcement of the rows: read again).
    sendEvent(service, alpha, QStringLiteral("clicked"));
    ASSERT_TRUE(processEventsUntil([&] { return !m_workspace.workspace().requests.empty(); }));
    ASSERT_TRUE(processEventsUntil([&] { return !controller->isMenuOpen(); }));
    EXPECT_TRUE(processEventsUntil([&] { return labels(layout(service)) == labels(root); }))
        << qPrintable(labels(layout(service)).join(QLatin1Char('|')));

    // A file added to the folder is in the layout before the host opens the menu again.
    writeFile(QStringLiteral("Docs/beta.txt"));
    ASSERT_TRUE(processEventsUntil([&] {
        return labels(layout(service)).contains(QStringLiteral("beta.txt"));
    })) << qPrintable(labels(layout(service)).join(QLatin1Char('|')));
}

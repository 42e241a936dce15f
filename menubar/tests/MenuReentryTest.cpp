// Requests that arrive while a folder menu waits for a slow listing: nothing waits with it. The host's calls
// over the bus, clicks on other icons and rebuilds of the status items are handled as they come, and rows
// that arrive after their menu went go nowhere.
#include "menubar/FolderController.h"

#include "FolderMenuTesting_p.h"
#include "StatusNotifierFolderFixture_p.h"

#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/desktop/tray/StatusNotifierWatch.h"

#include <QDBusPendingCallWatcher>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::testing::DBusMenuLayoutItem;
using kestrova::testing::kDBusMenu;
using kestrova::testing::kMenuPath;
using kestrova::testing::processEventsUntil;

namespace {

// A tray host of its own on the test's bus that sends calls without waiting for them, as a panel does,
// and notes the order of the answers.
class AsyncHost {
public:
    explicit AsyncHost(const QString &busAddress)
        : m_connection(QDBusConnection::connectToBus(busAddress, QStringLiteral("reentry-host"))) {}
    ~AsyncHost() { QDBusConnection::disconnectFromBus(QStringLiteral("reentry-host")); }

    // Sends the call; `answered` runs with the reply once it comes.
    void send(const QString &name, const QString &service, const QString &path, const QString &interface,
              const QString &method, const QVariantList &arguments,
              std::function<void(const QDBusMessage &)> answered = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
        call.setArguments(arguments);
        auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), &m_context);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &m_context,
                         [this, name, watcher, answered = std::move(answered)] {
                             const QDBusMessage reply = watcher->reply();
                             m_replies[name] = reply;
                             m_order << name;
                             watcher->deleteLater();
                             if (answered)
                                 answered(reply);
                         });
    }
    void sendToMenu(const QString &name, const QString &service, const QString &method,
                    const QVariantList &arguments, std::function<void(const QDBusMessage &)> answered = {}) {
        send(name, service, kMenuPath, kDBusMenu, method, arguments, std::move(answered));
    }

    // Notes `name` as answered now: a call made in the process.
    void noteAnswered(const QString &name) {
        m_replies[name] = QDBusMessage();
        m_order << name;
    }
    bool isAnswered(const QString &name) const { return m_replies.contains(name); }
    QDBusMessage reply(const QString &name) const { return m_replies.value(name); }
    // The names of the answered calls, in the order of their answers.
    const QStringList &order() const { return m_order; }

private:
    QDBusConnection m_connection;
    QObject m_context;
    QHash<QString, QDBusMessage> m_replies;
    QStringList m_order;
};

// Every call the host made was answered without an error.
void expectNoErrorReplies(const AsyncHost &host) {
    for (const QString &name : host.order())
        EXPECT_NE(host.reply(name).type(), QDBusMessage::ErrorMessage)
            << qPrintable(name) << ": " << qPrintable(host.reply(name).errorMessage());
}

class MenuReentryTest : public kestrova::testing::StatusNotifierFolderFixture {
protected:
    // The stalled listing ends when the test lets it, long before this.
    kestrova::testing::ScopedListingTimeLimit m_limit{std::chrono::seconds(20)};

    // A folder with a file and two subfolders, one of them with a file.
    Folder makeFolderWithSubfolders(const QString &name) {
        const Folder folder = makeFolder(name);
        QDir(m_root.path()).mkpath(name + QStringLiteral("/Sub"));
        QDir(m_root.path()).mkpath(name + QStringLiteral("/Other"));
        writeFile(name + QStringLiteral("/alpha.txt"));
        writeFile(name + QStringLiteral("/Sub/inner.txt"));
        return folder;
    }
    // The host's AboutToShow for the row's submenu, called in the process once the calls under test are
    // on their way: the wait for the listing then starts before the loop delivers any of them.
    static void openSubmenu(MenuBarItems &items, const Folder &folder, int row, AsyncHost &host) {
        trayItemOf(items, folder).notifierItem()->menuExporter()->AboutToShow(row);
        host.noteAnswered(QStringLiteral("open Sub"));
    }
    // The folder item's bus name, and the id of its subfolder's row once the host has opened its menu.
    struct OpenedMenu {
        QString service;
        int sub = -1;
    };
    OpenedMenu openMenuOf(MenuBarItems &items, const Folder &folder) {
        const QString service = serviceOf(items, folder);
        const int sub = idOf(openRoot(service), QStringLiteral("Sub"));
        EXPECT_GT(sub, 0);
        return {service, sub};
    }
    // Opens the root of the exported menu as the host does, and gives its rows.
    DBusMenuLayoutItem openRoot(const QString &service) {
        callMenu(service, QStringLiteral("AboutToShow"), {0});
        sendEvent(service, 0, QStringLiteral("opened"));
        return layout(service);
    }
};

} // namespace

TEST_F(MenuReentryTest, TheHostsCallsWhileASubmenuListsAreAnsweredAtOnceAndItsRowsFollow) {
    const Folder folder = makeFolderWithSubfolders(QStringLiteral("Docs"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;
    const QString service = serviceOf(items, folder);
    const DBusMenuLayoutItem root = openRoot(service);
    const int sub = idOf(root, QStringLiteral("Sub"));
    ASSERT_GT(sub, 0) << qPrintable(labels(root).join(QLatin1Char('|')));

    // The subfolder opens and waits for its listing; nothing waits with it: the host's other calls are
    // answered at once, in the order they came, while its question about the subfolder waits for the rows.
    kestrova::testing::StalledDirectories stalled("/Sub");
    AsyncHost host(m_bus.address());
    host.sendToMenu(QStringLiteral("open Sub"), service, QStringLiteral("AboutToShow"), {sub});
    host.sendToMenu(QStringLiteral("read Sub"), service, QStringLiteral("GetLayout"),
                    {sub, -1, QStringList()});
    host.sendToMenu(QStringLiteral("probe"), service, QStringLiteral("GetProperty"),
                    {sub, QStringLiteral("label")});
    ASSERT_TRUE(processEventsUntil(
        [&] { return host.isAnswered(QStringLiteral("probe")) && stalled.blockedCount() == 1; }));
    EXPECT_EQ(host.order(), (QStringList{QStringLiteral("read Sub"), QStringLiteral("probe")}));
    EXPECT_FALSE(
        labels(layoutIn(host.reply(QStringLiteral("read Sub")))).contains(QStringLiteral("inner.txt")));

    // Once listed, the waiting question is answered (read the subfolder again) and the rows are there.
    stalled.release();
    ASSERT_TRUE(processEventsUntil([&] { return host.isAnswered(QStringLiteral("open Sub")); }));
    EXPECT_EQ(host.reply(QStringLiteral("open Sub")).arguments().value(0), QVariant(true));
    expectNoErrorReplies(host);
    EXPECT_TRUE(labels(layout(service, sub)).contains(QStringLiteral("inner.txt")))
        << qPrintable(labels(layout(service, sub)).join(QLatin1Char('|')));
    sendEvent(service, 0, QStringLiteral("closed"));
}

TEST_F(MenuReentryTest, AFolderHiddenWhileItsSubmenuListsGoesOnceTheSubmenuIsAnswered) {
    const Folder folder = makeFolderWithSubfolders(QStringLiteral("Docs"));
    Folder other = makeFolderWithSubfolders(QStringLiteral("Music"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder, other});
    MenuBarItems items;
    const auto [service, sub] = openMenuOf(items, folder);
    ASSERT_GT(sub, 0);

    // The stored folders change while the subfolder lists (a scripted visibility change, another
    // process): the item whose exported menu is answering the host must not go in the middle of it.
    kestrova::testing::StalledDirectories stalled("/Sub");
    AsyncHost host(m_bus.address());
    bool wasGoneDuringWait = false;
    host.sendToMenu(QStringLiteral("probe"), service, QStringLiteral("GetProperty"),
                    {sub, QStringLiteral("label")}, [&](const QDBusMessage &) {
                        Folder hidden = folder;
                        hidden.isVisible = false;
                        Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{hidden, other});
                        // The change reaches the items before a call sent after it does.
                        host.sendToMenu(QStringLiteral("second probe"), service,
                                        QStringLiteral("GetProperty"), {sub, QStringLiteral("label")},
                                        [&](const QDBusMessage &) {
                                            wasGoneDuringWait = items.folderItem(folder.id) == nullptr;
                                            stalled.release();
                                        });
                    });
    openSubmenu(items, folder, sub, host);
    EXPECT_FALSE(wasGoneDuringWait);
    EXPECT_TRUE(processEventsUntil([&] { return items.folderItem(folder.id) == nullptr; }));
    EXPECT_NE(items.folderItem(other.id), nullptr);
}

TEST_F(MenuReentryTest, AnotherMenuAskedForWhileASubmenuListsOpensAtOnce) {
    const Folder docs = makeFolderWithSubfolders(QStringLiteral("Docs"));
    const Folder music = makeFolderWithSubfolders(QStringLiteral("Music"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{docs, music});
    MenuBarItems items;
    const QString docsService = serviceOf(items, docs);
    const QString musicService = serviceOf(items, music);
    auto &docsTray = trayItemOf(items, docs);
    auto &musicTray = trayItemOf(items, music);
    for (auto *tray : {&docsTray, &musicTray})
        tray->presenter().setModifierSource([] { return Qt::KeyboardModifiers(); });

    // The second icon's menu is asked for by a click from the host, or by its folder's shortcut (whose
    // press sets the folder's open flag).
    for (const bool byShortcut : {false, true}) {
        SCOPED_TRACE(byShortcut ? "shortcut" : "click");
        // The first icon's menu, shown by us, with its subfolder about to open.
        ASSERT_TRUE(m_host.click(docsService, QStringLiteral("Activate"), 40, 10));
        ASSERT_TRUE(processEventsUntil(
            [&] { return docsTray.presenter().openMenu() && docsTray.presenter().openMenu()->isVisible(); }));
        QMenu *shown = docsTray.presenter().openMenu();
        QAction *row = nullptr;
        for (QAction *action : shown->actions()) {
            if (action->text() == QStringLiteral("Sub"))
                row = action;
        }
        ASSERT_TRUE(row && row->menu());

        // The subfolder opens at once and waits for its rows without holding anything up.
        kestrova::testing::StalledDirectories stalled("/Sub");
        shown->setActiveAction(row);
        QTest::keyClick(shown, Qt::Key_Right);
        QMenu *submenu = row->menu();
        ASSERT_TRUE(processEventsUntil([&] { return submenu->isVisible() && stalled.blockedCount() == 1; }));
        AsyncHost host(m_bus.address());
        if (byShortcut)
            items.folderItem(music.id)->folderController()->setMenuOpen(true);
        else
            host.send(QStringLiteral("click Music"), musicService,
                      QString::fromLatin1(platform::desktop::StatusNotifierItem::kItemPath),
                      QString::fromLatin1(platform::desktop::StatusNotifierItem::kItemInterface),
                      QStringLiteral("Activate"), {40, 10});
        EXPECT_TRUE(processEventsUntil([&] {
            return musicTray.presenter().openMenu() && musicTray.presenter().openMenu()->isVisible();
        }));
        EXPECT_EQ(stalled.blockedCount(), 1);
        musicTray.closeMenu();
        docsTray.closeMenu();
        ASSERT_TRUE(processEventsUntil([&] { return !musicTray.isMenuOpen() && !docsTray.isMenuOpen(); }));
        // Rows that come after their menu closed go nowhere.
        stalled.release();
        ASSERT_TRUE(processEventsUntil([] { return FolderContentsLoader::runningCount() == 0; }));
        QCoreApplication::processEvents();
    }
}

TEST_F(MenuReentryTest, TheHostReopeningTheMenuWhileASubmenuListsRebuildsItAtOnce) {
    const Folder folder = makeFolderWithSubfolders(QStringLiteral("Docs"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;
    const auto [service, sub] = openMenuOf(items, folder);
    const auto controller = items.folderItem(folder.id)->folderController();
    ASSERT_GT(sub, 0);

    // The menu is rebuilt while the subfolder lists, freeing the row whose submenu waits: the rows that
    // come later go nowhere.
    kestrova::testing::StalledDirectories stalled("/Sub");
    AsyncHost host(m_bus.address());
    openSubmenu(items, folder, sub, host);
    host.sendToMenu(QStringLiteral("reopen"), service, QStringLiteral("AboutToShow"), {0});
    host.sendToMenu(QStringLiteral("opened"), service, QStringLiteral("Event"),
                    eventArguments(0, QStringLiteral("opened")));
    ASSERT_TRUE(processEventsUntil([&] { return host.order().size() == 3; }))
        << qPrintable(host.order().join(QLatin1Char('|')));
    EXPECT_TRUE(processEventsUntil([&] { return stalled.blockedCount() == 1; }));
    stalled.release();
    ASSERT_TRUE(processEventsUntil([] { return FolderContentsLoader::runningCount() == 0; }));
    QCoreApplication::processEvents();
    expectNoErrorReplies(host);

    // The menu the host reopened is whole, and so is its subfolder.
    EXPECT_TRUE(controller->isMenuOpen());
    const DBusMenuLayoutItem root = layout(service);
    EXPECT_TRUE(labels(root).contains(QStringLiteral("alpha.txt")))
        << qPrintable(labels(root).join(QLatin1Char('|')));
    const int reopenedSub = idOf(root, QStringLiteral("Sub"));
    ASSERT_GT(reopenedSub, 0);
    callMenu(service, QStringLiteral("AboutToShow"), {reopenedSub});
    EXPECT_TRUE(labels(layout(service, reopenedSub)).contains(QStringLiteral("inner.txt")));
    sendEvent(service, 0, QStringLiteral("closed"));
    EXPECT_FALSE(controller->isMenuOpen());
}

TEST_F(MenuReentryTest, APanelThatQuitsWhileASubmenuListsTakesTheItemOnlyOnceTheSubmenuIsAnswered) {
    const Folder folder = makeFolderWithSubfolders(QStringLiteral("Docs"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;
    const auto [service, sub] = openMenuOf(items, folder);
    auto &tray = trayItemOf(items, folder);
    ASSERT_GT(sub, 0);
    const auto watch = platform::desktop::StatusNotifierWatch::forBus({m_bus.address()});

    // The panel quits while the item's exported menu builds the subfolder: the item (and the menu object
    // that is answering) is replaced by an embedded icon only after the answer.
    kestrova::testing::StalledDirectories stalled("/Sub");
    AsyncHost host(m_bus.address());
    bool replacedDuringWait = false;
    QTimer untilGone;
    untilGone.setInterval(0);
    QObject::connect(&untilGone, &QTimer::timeout, [&] {
        if (watch->hasWatcher())
            return;
        untilGone.stop();
        replacedDuringWait = tray.notifierItem() == nullptr;
        stalled.release();
    });
    host.sendToMenu(QStringLiteral("probe"), service, QStringLiteral("GetProperty"),
                    {sub, QStringLiteral("label")}, [&](const QDBusMessage &) {
                        m_host.stop();
                        untilGone.start();
                    });
    openSubmenu(items, folder, sub, host);
    EXPECT_FALSE(replacedDuringWait);
    EXPECT_TRUE(processEventsUntil([&] { return tray.notifierItem() == nullptr && tray.trayIcon(); }));
}

TEST_F(MenuReentryTest, WhileTheHostsSubmenuListsTheBusGoesOnAnsweringOtherPrograms) {
    const Folder folder = makeFolderWithSubfolders(QStringLiteral("Docs"));
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    MenuBarItems items;
    const auto [service, sub] = openMenuOf(items, folder);
    ASSERT_GT(sub, 0);

    // The host's own call waits for the listing; a read by another program is answered meanwhile, and
    // its answer lets the listing end.
    kestrova::testing::StalledDirectories stalled("/Sub");
    AsyncHost host(m_bus.address());
    host.sendToMenu(QStringLiteral("open Sub"), service, QStringLiteral("AboutToShow"), {sub});
    QProcess reader;
    reader.setProgram(QStringLiteral("dbus-send"));
    reader.setArguments({QStringLiteral("--bus=") + m_bus.address(), QStringLiteral("--print-reply"),
                         QStringLiteral("--dest=") + service, kMenuPath,
                         QStringLiteral("com.canonical.dbusmenu.GetProperty"),
                         QStringLiteral("int32:%1").arg(sub), QStringLiteral("string:label")});
    bool readDuringWait = false;
    QObject::connect(&reader, &QProcess::finished, [&] {
        readDuringWait = !host.isAnswered(QStringLiteral("open Sub"));
        stalled.release();
    });
    reader.start();
    ASSERT_TRUE(processEventsUntil([&] { return host.isAnswered(QStringLiteral("open Sub")); }));
    EXPECT_TRUE(readDuringWait);
    EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().constData();
    EXPECT_TRUE(reader.readAllStandardOutput().contains("Sub"));
    EXPECT_EQ(host.reply(QStringLiteral("open Sub")).type(), QDBusMessage::ReplyMessage);
}

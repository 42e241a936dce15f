#include "platform/desktop/tray/StatusNotifierItem.h"
#include "platform/desktop/tray/TrayStatusItem.h"
#include "platform/desktop/tray/XEmbedTrayIcon.h"
#include "platform/desktop/tray/ActivationToken.h"
#include "platform/desktop/tray/StatusNotifierItem_p.h"

#include "platform/menus/Menu.h"
#include "platform/desktop/menus/DBusMenuExporter.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/desktop/tray/PopupPlacement.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/PrivateSessionBus.h"
#include "platform/testing/StatusNotifierHost.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDBusObjectPath>
#include <QMenu>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

using namespace kestrova::platform;
using namespace kestrova::platform::desktop;
using kestrova::testing::PrivateSessionBus;
using kestrova::testing::processEventsUntil;
using kestrova::testing::StatusNotifierHost;

namespace {

class StatusNotifierItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_bus.address().isEmpty()) << "dbus-daemon did not start";
        ASSERT_TRUE(m_host.start());
    }

    std::unique_ptr<TrayStatusItem> makeItem(const QString &name, const QString &title,
                                             DisplaySession session = DisplaySession::x11) {
        auto item = std::make_unique<TrayStatusItem>(StatusNotifierBus{m_bus.address()}, session);
        item->setAutosaveName(name);
        item->setTitle(title);
        StatusItemImage image;
        image.title = title;
        item->setImage(image);
        return item;
    }
    // Waits for `item` to be registered with the host, and answers its service name.
    QString registered(const TrayStatusItem &item) {
        const QString service = item.notifierItem() ? item.notifierItem()->serviceName() : QString();
        EXPECT_TRUE(processEventsUntil([&] { return m_host.registeredItems().contains(service); }))
            << qPrintable(service);
        return service;
    }

    // The labels of the exported menu's top rows, read as a host reads them.
    QStringList exportedLabels(const QString &service) {
        registerDBusMenuTypes();
        const auto reply = m_host.call(service, QString::fromLatin1(StatusNotifierItem::kMenuPath),
                                       QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"),
                                       {0, -1, QStringList()});
        if (!reply || reply->arguments().size() != 2)
            return {QStringLiteral("<no answer>")};
        QStringList labels;
        for (const auto &row : qdbus_cast<DBusMenuLayoutItem>(reply->arguments().at(1)).children)
            labels << row.properties.value(QStringLiteral("label")).toString();
        return labels;
    }
    QString menuPathOf(const QString &service) {
        return m_host.properties(service).value(QStringLiteral("Menu")).value<QDBusObjectPath>().path();
    }

    PrivateSessionBus m_bus;
    StatusNotifierHost m_host{m_bus.address()};
};

std::shared_ptr<Menu> menuOf(const QStringList &titles) {
    auto menu = std::make_shared<Menu>();
    for (const QString &title : titles)
        menu->addItem(std::make_shared<MenuItem>(title));
    return menu;
}

} // namespace

TEST_F(StatusNotifierItemTest, EveryItemIsAServiceOfItsOwnWithItsIdTitleAndPictures) {
    const auto work =
        makeItem(QStringLiteral("6f1c0d4e-0000-4000-8000-000000000001"), QStringLiteral("Work"));
    const auto notes = makeItem(QStringLiteral("mainItem"), QStringLiteral("Notes & Plans"));
    // While a watcher runs there is no embedded icon beside the item.
    EXPECT_EQ(work->trayIcon(), nullptr);
    EXPECT_EQ(work->findChild<kestrova::platform::desktop::XEmbedTrayIcon *>(), nullptr);
    const QString workService = registered(*work);
    const QString notesService = registered(*notes);
    EXPECT_NE(workService, notesService);
    const QRegularExpression pattern(
        QStringLiteral("^org\\.kde\\.StatusNotifierItem-%1-\\d+$").arg(QCoreApplication::applicationPid()));
    EXPECT_TRUE(pattern.match(workService).hasMatch()) << qPrintable(workService);
    EXPECT_TRUE(pattern.match(notesService).hasMatch()) << qPrintable(notesService);

    const QVariantMap properties = m_host.properties(workService);
    EXPECT_EQ(properties.value(QStringLiteral("Id")).toString(),
              QStringLiteral("org.kestrova.Kestrova-6f1c0d4e-0000-4000-8000-000000000001"));
    EXPECT_EQ(properties.value(QStringLiteral("Title")).toString(), QStringLiteral("Work"));
    EXPECT_EQ(properties.value(QStringLiteral("Category")).toString(), QStringLiteral("ApplicationStatus"));
    EXPECT_EQ(properties.value(QStringLiteral("Status")).toString(), QStringLiteral("Active"));
    EXPECT_EQ(properties.value(QStringLiteral("ItemIsMenu")), QVariant(false));
    EXPECT_EQ(properties.value(QStringLiteral("WindowId")), QVariant(0));
    EXPECT_EQ(properties.value(QStringLiteral("Menu")).value<QDBusObjectPath>().path(),
              QStringLiteral("/NO_DBUSMENU"));
    // Where the exported menu will be; no path is no menu.
    work->notifierItem()->setMenuPath(QDBusObjectPath(QStringLiteral("/MenuBar")));
    EXPECT_EQ(m_host.properties(workService).value(QStringLiteral("Menu")).value<QDBusObjectPath>().path(),
              QStringLiteral("/MenuBar"));
    work->notifierItem()->setMenuPath({});
    EXPECT_EQ(m_host.properties(workService).value(QStringLiteral("Menu")).value<QDBusObjectPath>().path(),
              QStringLiteral("/NO_DBUSMENU"));
    EXPECT_EQ(m_host.properties(notesService).value(QStringLiteral("Id")).toString(),
              QStringLiteral("org.kestrova.Kestrova-mainItem"));
    EXPECT_EQ(m_host.properties(notesService).value(QStringLiteral("Title")).toString(),
              QStringLiteral("Notes & Plans"));
    const auto toolTip = m_host.toolTip(notesService);
    ASSERT_TRUE(toolTip);
    EXPECT_EQ(toolTip->title, QStringLiteral("Notes & Plans"));

    StatusItemImage drawn;
    drawn.title = QStringLiteral("Work");
    const StatusNotifierPixmaps pixmaps = m_host.iconPixmaps(workService);
    ASSERT_EQ(pixmaps.size(), qsizetype(StatusItemImage::kTraySizes.size()));
    for (qsizetype index = 0; index < pixmaps.size(); ++index) {
        const int size = StatusItemImage::kTraySizes.at(index);
        const StatusNotifierPixmap &pixmap = pixmaps.at(index);
        EXPECT_EQ(QSize(pixmap.width, pixmap.height), QSize(size, size));
        ASSERT_EQ(pixmap.bytes.size(), size * size * 4);
        const QImage expected = drawn.render(size).convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(pixmap.toImage(), expected) << size;
        // Network byte order: alpha first. The title's ink is opaque somewhere in the square.
        const QRgb inked = [&] {
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    if (qAlpha(expected.pixel(x, y)) == 255)
                        return expected.pixel(x, y);
            return QRgb(0);
        }();
        ASSERT_NE(inked, QRgb(0)) << size;
        EXPECT_TRUE(pixmap.bytes.contains(QByteArray("\xff", 1) + char(qRed(inked)) + char(qGreen(inked)) +
                                          char(qBlue(inked))))
            << size;
    }
}

TEST_F(StatusNotifierItemTest, ChangesAreAnnouncedToTheHost) {
    const auto item = makeItem(QStringLiteral("a"), QStringLiteral("Downloads"));
    const QString service = registered(*item);
    const QString sender = m_host.ownerOf(service);
    ASSERT_FALSE(sender.isEmpty());
    // Only what changes from now on.
    m_host.clearSignals();

    item->setTitle(QStringLiteral("Incoming"));
    ASSERT_TRUE(processEventsUntil([&] {
        return m_host.signalCount(sender, QStringLiteral("NewTitle")) == 1 &&
               m_host.signalCount(sender, QStringLiteral("NewToolTip")) == 1;
    }));
    EXPECT_EQ(m_host.properties(service).value(QStringLiteral("Title")).toString(),
              QStringLiteral("Incoming"));
    EXPECT_EQ(m_host.toolTip(service)->title, QStringLiteral("Incoming"));

    // The same picture again is no change; a new one is.
    StatusItemImage image;
    image.title = QStringLiteral("Downloads");
    item->setImage(image);
    image.ink = QColor(200, 30, 30);
    item->setImage(image);
    ASSERT_TRUE(
        processEventsUntil([&] { return m_host.signalCount(sender, QStringLiteral("NewIcon")) >= 1; }));
    EXPECT_EQ(m_host.iconPixmaps(service).first().toImage(),
              image.render(16).convertToFormat(QImage::Format_ARGB32));

    item->setVisible(false);
    ASSERT_TRUE(
        processEventsUntil([&] { return m_host.signalCount(sender, QStringLiteral("NewStatus")) == 1; }));
    EXPECT_EQ(m_host.itemSignals().back().arguments, QVariantList{QStringLiteral("Passive")});
    EXPECT_EQ(m_host.properties(service).value(QStringLiteral("Status")).toString(),
              QStringLiteral("Passive"));
    EXPECT_EQ(m_host.signalCount(sender, QStringLiteral("NewTitle")), 1);
    EXPECT_EQ(m_host.signalCount(sender, QStringLiteral("NewIcon")), 1);
}

TEST_F(StatusNotifierItemTest, APanelRestartRegistersTheItemsAgainAndWithoutOneTheIconIsEmbedded) {
    const auto item = makeItem(QStringLiteral("a"), QStringLiteral("Work"));
    const QString first = registered(*item);

    m_host.stop();
    // No watcher: the embedded icon, as on a desktop without a status-notifier host, and no name left.
    ASSERT_TRUE(processEventsUntil([&] { return item->trayIcon() != nullptr; }));
    EXPECT_EQ(item->notifierItem(), nullptr);
    EXPECT_EQ(item->trayIcon()->toolTip(), QStringLiteral("Work"));
    EXPECT_TRUE(item->isGeometryKnown());

    ASSERT_TRUE(m_host.start());
    ASSERT_TRUE(processEventsUntil([&] { return item->notifierItem() != nullptr; }));
    const QString second = registered(*item);
    EXPECT_EQ(m_host.registrationCount(), 1);
    EXPECT_FALSE(m_host.hasOwner(first));
    EXPECT_EQ(item->trayIcon(), nullptr);
    EXPECT_EQ(m_host.properties(second).value(QStringLiteral("Title")).toString(), QStringLiteral("Work"));
    EXPECT_EQ(m_host.properties(second).value(QStringLiteral("Id")).toString(),
              QStringLiteral("org.kestrova.Kestrova-a"));
}

TEST_F(StatusNotifierItemTest, ARemovedItemLeavesNothingOnTheBus) {
    auto item = makeItem(QStringLiteral("a"), QStringLiteral("Work"));
    const auto menu = menuOf({QStringLiteral("One")});
    item->setMenuProvider([menu] { return menu; });
    const QString service = registered(*item);
    ASSERT_EQ(exportedLabels(service), QStringList{QStringLiteral("One")});
    const QString owner = m_host.ownerOf(service);
    ASSERT_FALSE(owner.isEmpty());
    item.reset();
    ASSERT_TRUE(processEventsUntil([&] { return m_host.registeredItems().isEmpty(); }));
    EXPECT_FALSE(m_host.hasOwner(service));
    EXPECT_FALSE(m_host.hasOwner(owner));
}

TEST_F(StatusNotifierItemTest, TheHostsClicksArriveAsTheTraysClicks) {
    const auto item = makeItem(QStringLiteral("a"), QStringLiteral("Work"));
    const QString service = registered(*item);
    std::vector<StatusItemClick> clicks;
    item->setOnClick([&](const StatusItemClick &click) { clicks.push_back(click); });

    ASSERT_TRUE(m_host.click(service, QStringLiteral("Activate"), 1265, 15));
    ASSERT_TRUE(m_host.click(service, QStringLiteral("ContextMenu"), 1266, 16));
    ASSERT_TRUE(m_host.click(service, QStringLiteral("SecondaryActivate"), 1267, 17));
    ASSERT_TRUE(processEventsUntil([&] { return clicks.size() == 3; }));
    using Button = StatusItemClick::Button;
    EXPECT_EQ(clicks.at(0), (StatusItemClick{Button::left, {}, {1265, 15}}));
    EXPECT_EQ(clicks.at(1), (StatusItemClick{Button::right, {}, {1266, 16}}));
    EXPECT_EQ(clicks.at(2), (StatusItemClick{Button::right, {}, {1267, 17}}));
}

// The host's activation token is kept for the window the click opens, spent once, on Wayland only.
TEST_F(StatusNotifierItemTest, TheHostsActivationTokenGoesToTheNextWindowActivationOnce) {
    const auto item = makeItem(QStringLiteral("a"), QStringLiteral("Work"));
    registered(*item);
    ASSERT_NE(item->notifierItem(), nullptr);
    auto *adaptor = item->notifierItem()->findChild<StatusNotifierItemAdaptor *>();
    ASSERT_NE(adaptor, nullptr);
    qunsetenv("XDG_ACTIVATION_TOKEN");
    adaptor->ProvideXdgActivationToken(QStringLiteral("x11-token"));
    ActivationToken::spendOnNextActivation(QStringLiteral("xcb"));
    EXPECT_FALSE(ActivationToken::pending()) << "spent, though X11 has no use for it";
    EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));

    adaptor->ProvideXdgActivationToken(QStringLiteral("old"));
    adaptor->ProvideXdgActivationToken(QStringLiteral("wayland-token"));
    ActivationToken::spendOnNextActivation(QStringLiteral("wayland"));
    EXPECT_EQ(qEnvironmentVariable("XDG_ACTIVATION_TOKEN"), QStringLiteral("wayland-token"));
    qunsetenv("XDG_ACTIVATION_TOKEN");
    ActivationToken::spendOnNextActivation(QStringLiteral("wayland"));
    EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN")) << "a token is spent once";
}

TEST_F(StatusNotifierItemTest, TheMenuOpensBesideTheClickPointTheHostGave) {
    const auto item = makeItem(QStringLiteral("a"), QStringLiteral("Work"));
    const QString service = registered(*item);
    auto menu = std::make_shared<Menu>();
    for (int row = 0; row < 5; ++row)
        menu->addItem(std::make_shared<MenuItem>(QStringLiteral("Row %1").arg(row)));
    item->setOnClick([&](const StatusItemClick &) { item->popUpMenu(menu); });

    // Near the lower right corner of the screen: the whole menu stays on it.
    const QRect screen = currentScreenAreas().at(0).available;
    const QPoint click = screen.bottomRight() - QPoint(3, 3);
    ASSERT_TRUE(m_host.click(service, QStringLiteral("Activate"), click.x(), click.y()));
    ASSERT_TRUE(processEventsUntil([&] { return item->isMenuOpen(); }));
    const QMenu *shown = item->presenter().openMenu();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->pos(), popupPositionBesidePanel(click, shown->size(), currentScreenAreas()));
    EXPECT_TRUE(screen.contains(shown->geometry())) << shown->geometry().x() << "," << shown->geometry().y();
    item->closeMenu();
}

TEST_F(StatusNotifierItemTest, APressOnAnotherIconWhileAMenuIsOpenOpensThatIconsMenuInOneClick) {
    // Three icons side by side in a panel along the top edge, 24 pixels apart; the host says only where
    // each was clicked, and the open menu takes the press meant for the next icon.
    const auto alpha = makeItem(QStringLiteral("a"), QStringLiteral("Alpha"));
    const auto beta = makeItem(QStringLiteral("b"), QStringLiteral("Beta"));
    const auto gamma = makeItem(QStringLiteral("c"), QStringLiteral("Gamma"));
    std::vector<QString> opened;
    for (TrayStatusItem *item : {alpha.get(), beta.get(), gamma.get()}) {
        const auto menu = menuOf({QStringLiteral("Row")});
        item->setOnClick([&opened, item, menu](const StatusItemClick &) {
            opened.push_back(item->notifierItem()->title());
            item->popUpMenu(menu);
        });
    }
    const QString alphaService = registered(*alpha);
    registered(*beta);
    registered(*gamma);
    const QPoint alphaIcon(300, 12);
    const QPoint betaIcon(324, 12);
    const QPoint gammaIcon(348, 12);
    // A press at a global point, taken by the open menu as the X server hands it over.
    const auto pressAt = [](TrayStatusItem &open, const QPoint &global) {
        QMenu *shown = open.presenter().openMenu();
        ASSERT_NE(shown, nullptr);
        QTest::mousePress(shown, Qt::LeftButton, {}, shown->mapFromGlobal(global));
    };
    const auto openedNext = [&](const QString &title) {
        return processEventsUntil([&] { return !opened.empty() && opened.back() == title; });
    };

    ASSERT_TRUE(m_host.click(alphaService, QStringLiteral("Activate"), alphaIcon.x(), alphaIcon.y()));
    ASSERT_TRUE(openedNext(QStringLiteral("Alpha")));
    ASSERT_TRUE(alpha->isMenuOpen());
    // Two icons never clicked: the press could be on either, so it only closes the menu.
    pressAt(*alpha, betaIcon);
    ASSERT_TRUE(processEventsUntil([&] { return !alpha->isMenuOpen(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(opened.size(), 1u);

    ASSERT_TRUE(m_host.click(alphaService, QStringLiteral("Activate"), alphaIcon.x(), alphaIcon.y()));
    ASSERT_TRUE(processEventsUntil([&] { return alpha->isMenuOpen(); }));
    ASSERT_TRUE(m_host.click(registered(*gamma), QStringLiteral("Activate"), gammaIcon.x(), gammaIcon.y()));
    ASSERT_TRUE(processEventsUntil([&] { return gamma->isMenuOpen(); }));
    // Now only Beta was never clicked: a press far along the panel is on none of ours; one beside the
    // icons clicked before but on none of them is on Beta.
    pressAt(*gamma, gammaIcon + QPoint(300, 0));
    ASSERT_TRUE(processEventsUntil([&] { return !gamma->isMenuOpen(); }));
    QCoreApplication::processEvents();
    EXPECT_NE(opened.back(), QStringLiteral("Beta"));
    ASSERT_TRUE(m_host.click(registered(*gamma), QStringLiteral("Activate"), gammaIcon.x(), gammaIcon.y()));
    ASSERT_TRUE(processEventsUntil([&] { return gamma->isMenuOpen(); }));
    pressAt(*gamma, betaIcon + QPoint(3, 2));
    ASSERT_TRUE(openedNext(QStringLiteral("Beta")));
    EXPECT_TRUE(beta->isMenuOpen());
    EXPECT_FALSE(gamma->isMenuOpen());
    // A press where an icon was clicked before is on that icon.
    pressAt(*beta, alphaIcon + QPoint(-4, 3));
    ASSERT_TRUE(openedNext(QStringLiteral("Alpha")));
    EXPECT_FALSE(beta->isMenuOpen());
    // A press on the open menu's own icon closes it, and one below the panel opens nothing.
    pressAt(*alpha, alphaIcon + QPoint(2, 0));
    ASSERT_TRUE(processEventsUntil([&] { return !alpha->isMenuOpen(); }));
    ASSERT_TRUE(m_host.click(alphaService, QStringLiteral("Activate"), alphaIcon.x(), alphaIcon.y()));
    ASSERT_TRUE(processEventsUntil([&] { return alpha->isMenuOpen(); }));
    const std::size_t before = opened.size();
    pressAt(*alpha, gammaIcon + QPoint(0, 200));
    ASSERT_TRUE(processEventsUntil([&] { return !alpha->isMenuOpen(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(opened.size(), before);
}

TEST_F(StatusNotifierItemTest, AMenuOpenedBeforeAnyClickOpensAtThePanelNeverAtThePointer) {
    const auto work = makeItem(QStringLiteral("a"), QStringLiteral("Work"));
    const auto play = makeItem(QStringLiteral("b"), QStringLiteral("Play"));
    registered(*work);
    const QString playService = registered(*play);
    const auto menu = menuOf({QStringLiteral("One"), QStringLiteral("Two")});
    const QRect screen = currentScreenAreas().at(0).geometry;
    QCursor::setPos(screen.center());
    const auto openedAt = [&](TrayStatusItem &item) {
        item.popUpMenu(menu);
        const QMenu *shown = item.presenter().openMenu();
        const QRect place = shown ? shown->geometry() : QRect();
        item.closeMenu();
        return place;
    };

    // The shortcut's path: no icon was clicked yet, so the panel's far end, as the placement says.
    const QRect first = openedAt(*work);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_FALSE(first.contains(screen.center()));
    const auto areas = currentScreenAreas();
    EXPECT_EQ(first.topLeft(), popupPositionBesidePanel(pointInPanel(areas), first.size(), areas));

    // Once a neighbour was clicked, beside it: the icons of one tray sit together.
    bool clicked = false;
    play->setOnClick([&clicked](const StatusItemClick &) { clicked = true; });
    ASSERT_TRUE(m_host.click(playService, QStringLiteral("Activate"), 300, 12));
    ASSERT_TRUE(processEventsUntil([&] { return clicked; }));
    const QRect beside = openedAt(*work);
    EXPECT_EQ(beside.topLeft(), popupPositionBesidePanel(QPoint(300, 12), beside.size(), areas));
}

TEST_F(StatusNotifierItemTest, TheIconCountsAsShownOnlyWhenAHostDrawsIt) {
    m_host.start(/*hostRegistered=*/false);
    const auto item = makeItem(QStringLiteral("a"), QStringLiteral("Work"));
    registered(*item);
    // A watcher without a host: nobody draws the icon.
    EXPECT_TRUE(item->isHiddenFromMenuBar());
    m_host.setHostRegistered(true);
    EXPECT_TRUE(processEventsUntil([&] { return !item->isHiddenFromMenuBar(); }));
    EXPECT_FALSE(item->isGeometryKnown());
    // Switched off by the application is not hidden by the desktop.
    item->setVisible(false);
    EXPECT_FALSE(item->isHiddenFromMenuBar());
    item->setVisible(true);

    // Neither a watcher nor an embedding tray (the offscreen platform has none).
    m_host.stop();
    ASSERT_TRUE(processEventsUntil([&] { return item->trayIcon() != nullptr; }));
    EXPECT_TRUE(item->isHiddenFromMenuBar());
}

TEST_F(StatusNotifierItemTest, TheProvidersMenuIsExportedOnTheItemsConnectionAndComesBackAfterARestart) {
    const auto item = makeItem(QStringLiteral("a"), QStringLiteral("Work"));
    int provided = 0;
    const auto menu = menuOf({QStringLiteral("One"), QStringLiteral("Two")});
    item->setMenuProvider([&] {
        ++provided;
        return menu;
    });
    const QString first = registered(*item);
    EXPECT_EQ(menuPathOf(first), QStringLiteral("/MenuBar"));
    EXPECT_EQ(exportedLabels(first), (QStringList{QStringLiteral("One"), QStringLiteral("Two")}));
    EXPECT_EQ(provided, 1);

    // Shown by the host when the panel goes: the model hears the menu closed, so it can open again.
    ASSERT_TRUE(m_host.call(first, QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"),
                            QStringLiteral("AboutToShow"), {0}));
    EXPECT_TRUE(menu->isOpen());
    m_host.stop();
    ASSERT_TRUE(processEventsUntil([&] { return item->notifierItem() == nullptr; }));
    EXPECT_FALSE(menu->isOpen());

    // The item made for the new panel exports the menu too; the old connection took its objects along.
    ASSERT_TRUE(m_host.start());
    ASSERT_TRUE(processEventsUntil([&] { return item->notifierItem() != nullptr; }));
    const QString second = registered(*item);
    EXPECT_EQ(menuPathOf(second), QStringLiteral("/MenuBar"));
    EXPECT_EQ(exportedLabels(second), (QStringList{QStringLiteral("One"), QStringLiteral("Two")}));
    EXPECT_FALSE(m_host.hasOwner(first));

    // Without a provider there is no menu to show.
    item->setMenuProvider({});
    EXPECT_EQ(menuPathOf(second), QStringLiteral("/NO_DBUSMENU"));
    EXPECT_EQ(item->notifierItem()->menuExporter(), nullptr);
}

TEST_F(StatusNotifierItemTest, InAWaylandSessionTheHostShowsTheExportedMenuAndActivatePopsNothing) {
    // The session decides, not Qt's platform: on XWayland the bar's click points are its own coordinates.
    const auto sessionOf = [](const char *platform, std::initializer_list<std::pair<QString, QString>> set) {
        QProcessEnvironment environment;
        for (const auto &[name, value] : set)
            environment.insert(name, value);
        return displaySessionOf(QString::fromLatin1(platform), environment);
    };
    const QString display = QStringLiteral("WAYLAND_DISPLAY");
    const QString type = QStringLiteral("XDG_SESSION_TYPE");
    EXPECT_EQ(sessionOf("wayland", {}), DisplaySession::wayland);
    EXPECT_EQ(sessionOf("wayland-egl", {}), DisplaySession::wayland);
    EXPECT_EQ(sessionOf("xcb", {{display, QStringLiteral("wayland-1")}}), DisplaySession::wayland);
    EXPECT_EQ(sessionOf("xcb", {{type, QStringLiteral("wayland")}}), DisplaySession::wayland);
    EXPECT_EQ(sessionOf("xcb", {{type, QStringLiteral("x11")}, {display, QString()}}), DisplaySession::x11);
    EXPECT_EQ(sessionOf("xcb", {}), DisplaySession::x11);

    const auto menu = menuOf({QStringLiteral("One")});
    const auto wayland = makeItem(QStringLiteral("w"), QStringLiteral("Work"), DisplaySession::wayland);
    const auto x11 = makeItem(QStringLiteral("x"), QStringLiteral("Play"), DisplaySession::x11);
    std::vector<TrayStatusItem *> clicked;
    for (TrayStatusItem *item : {wayland.get(), x11.get()}) {
        item->setMenuProvider([menu] { return menu; });
        item->setOnClick([&clicked, item, menu](const StatusItemClick &) {
            clicked.push_back(item);
            item->popUpMenu(menu);
        });
    }
    const QString waylandService = registered(*wayland);
    const QString x11Service = registered(*x11);
    EXPECT_EQ(m_host.properties(waylandService).value(QStringLiteral("ItemIsMenu")), QVariant(true));
    EXPECT_EQ(m_host.properties(x11Service).value(QStringLiteral("ItemIsMenu")), QVariant(false));
    EXPECT_EQ(menuPathOf(waylandService), QStringLiteral("/MenuBar"));

    // A host that calls Activate anyway: the click still counts, but no window of ours opens.
    ASSERT_TRUE(m_host.click(waylandService, QStringLiteral("Activate"), 40, 10));
    ASSERT_TRUE(processEventsUntil([&] { return clicked.size() == 1; }));
    EXPECT_EQ(wayland->presenter().openMenu(), nullptr);
    EXPECT_FALSE(wayland->isMenuOpen());
    EXPECT_FALSE(menu->isOpen());

    // On X11 the plain click still opens our own popup.
    ASSERT_TRUE(m_host.click(x11Service, QStringLiteral("Activate"), 40, 10));
    ASSERT_TRUE(processEventsUntil([&] { return x11->isMenuOpen(); }));
    EXPECT_NE(x11->presenter().openMenu(), nullptr);
    x11->closeMenu();
}

TEST_F(StatusNotifierItemTest, OnWaylandAMenuOpenedWithoutAClickAsksTheHostAndMakesNoWindow) {
    const auto menu = menuOf({QStringLiteral("One"), QStringLiteral("Two")});
    const auto item = makeItem(QStringLiteral("w"), QStringLiteral("Work"), DisplaySession::wayland);
    item->setMenuProvider([menu] { return menu; });
    const QString service = registered(*item);
    const QString sender = m_host.ownerOf(service);
    const auto windows = [] {
        int shown = 0;
        for (const QWidget *widget : QApplication::topLevelWidgets())
            shown += widget->isVisible() ? 1 : 0;
        return shown;
    };
    const int before = windows();

    // The shortcut path: no click, so no point and no serial; the host is asked to show the root.
    item->popUpMenu(menu);
    ASSERT_TRUE(
        processEventsUntil([&] { return m_host.signalCount(sender, "ItemActivationRequested") == 1; }));
    const auto &requested = m_host.itemSignals().back();
    EXPECT_EQ(requested.arguments.value(0).toInt(), 0);
    EXPECT_EQ(windows(), before);
    EXPECT_FALSE(item->isMenuOpen());

    // With no host at all the menu has nowhere to go: still no window of ours.
    m_host.stop();
    ASSERT_TRUE(processEventsUntil([&] { return item->notifierItem() == nullptr; }));
    item->popUpMenu(menu);
    QCoreApplication::processEvents();
    EXPECT_EQ(windows(), before);
    EXPECT_EQ(item->presenter().openMenu(), nullptr);
    EXPECT_FALSE(menu->isOpen());
}

#include "platform/desktop/menus/DBusMenuExporter.h"

#include "platform/menus/Menu.h"
#include "platform/menus/MenuRowSource.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/PrivateSessionBus.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <optional>

using kestrova::platform::HostedViewFactory;
using kestrova::platform::LazySubmenu;
using kestrova::platform::Menu;
using kestrova::platform::MenuItem;
using kestrova::platform::Modifier;
using kestrova::platform::desktop::DBusMenuExporter;
using kestrova::platform::desktop::DBusMenuItemProperties;
using kestrova::platform::desktop::DBusMenuItemPropertiesList;
using kestrova::platform::desktop::DBusMenuLayoutItem;
using kestrova::platform::desktop::HostedWidgetFactory;
using kestrova::testing::processEventsUntil;

namespace {

const QString kInterface = QStringLiteral("com.canonical.dbusmenu");
const QString kPath = QStringLiteral("/MenuBar");

// What a host hears from the exporter.
class SignalRecorder : public QObject {
    Q_OBJECT

public:
    std::vector<std::pair<uint, int>> layoutUpdates;
    DBusMenuItemPropertiesList updatedProperties;
    // Called as each change is heard.
    std::function<void()> heard = [] {};

public Q_SLOTS:
    void layoutUpdated(uint revision, int parent) {
        layoutUpdates.emplace_back(revision, parent);
        heard();
    }
    void itemsPropertiesUpdated(const QDBusMessage &message) {
        updatedProperties += qdbus_cast<DBusMenuItemPropertiesList>(message.arguments().value(0));
        heard();
    }
};

// Another program's object in the same process, to tell when the loop answered a call to it.
class Pinged : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kestrova.Test")

public:
    std::function<void()> asked = [] {};

public Q_SLOTS:
    Q_SCRIPTABLE void Ping() { asked(); }
};

// A picture as large as a row shows, that does not compress: its PNG takes about 100 KB.
QImage noisePicture() {
    QImage noise(DBusMenuExporter::kLargestImageSide, DBusMenuExporter::kLargestImageSide,
                 QImage::Format_ARGB32);
    quint32 seed = 12345;
    for (int y = 0; y < noise.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            line[x] = (seed = seed * 1664525u + 1013904223u);
    }
    return noise;
}

QImage redSquare() {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    return image;
}

std::shared_ptr<MenuItem> item(Menu &menu, const QString &title, std::function<void()> action = {}) {
    auto row = std::make_shared<MenuItem>(title);
    row->setAction(std::move(action));
    menu.addItem(row);
    return row;
}

QStringList labels(const DBusMenuLayoutItem &parent) {
    QStringList labels;
    for (const auto &child : parent.children) {
        labels << (child.properties.value(QStringLiteral("type")) == QStringLiteral("separator")
                       ? QStringLiteral("-----")
                       : child.properties.value(QStringLiteral("label")).toString());
    }
    return labels;
}

class DBusMenuExporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        kestrova::platform::desktop::registerDBusMenuTypes();
        ASSERT_FALSE(m_bus.address().isEmpty()) << "dbus-daemon did not start";
        m_server = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("exporter"));
        m_client = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("host"));
        ASSERT_TRUE(m_server.isConnected());
        ASSERT_TRUE(m_client.isConnected());
    }
    void TearDown() override {
        m_exporter.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("exporter"));
        QDBusConnection::disconnectFromBus(QStringLiteral("host"));
    }

    void exportMenu(const std::shared_ptr<Menu> &root) {
        m_exporter = std::make_unique<DBusMenuExporter>(m_server, kPath, root);
        ASSERT_TRUE(m_exporter->isRegistered());
    }

    // Called as a host calls: over the bus, without blocking the loop the exporter answers on.
    QDBusMessage call(const QString &method, const QVariantList &arguments,
                      const QString &interface = kInterface) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(m_server.baseService(), kPath, interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = m_client.asyncCall(message, int(m_callTimeout.count()));
        EXPECT_TRUE(processEventsUntil([&] { return pending.isFinished(); }, m_callTimeout))
            << method.toStdString();
        return pending.reply();
    }

    std::pair<uint, DBusMenuLayoutItem> getLayout(int parent = 0, int depth = -1) {
        const QDBusMessage reply = call(QStringLiteral("GetLayout"), {parent, depth, QStringList()});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        if (reply.arguments().size() != 2)
            return {};
        return {reply.arguments()[0].toUInt(), qdbus_cast<DBusMenuLayoutItem>(reply.arguments()[1])};
    }

    // Hears the exporter's change signals as a host does.
    void listen(SignalRecorder &recorder) {
        ASSERT_TRUE(m_client.connect(m_server.baseService(), kPath, kInterface,
                                     QStringLiteral("LayoutUpdated"), &recorder,
                                     SLOT(layoutUpdated(uint, int))));
        ASSERT_TRUE(m_client.connect(m_server.baseService(), kPath, kInterface,
                                     QStringLiteral("ItemsPropertiesUpdated"), &recorder,
                                     SLOT(itemsPropertiesUpdated(QDBusMessage))));
    }

    // Notes in `order` when the loop answered another program's call ("answered", see ping) and when it told
    // the host of a change ("told"), as the application's process sees them.
    void recordOrder(Pinged &pinged, QStringList &order) {
        pinged.asked = [&order] { order << QStringLiteral("answered"); };
        ASSERT_TRUE(m_server.registerObject(QStringLiteral("/Pinged"), &pinged,
                                            QDBusConnection::ExportScriptableSlots));
        QObject::connect(m_exporter.get(), &DBusMenuExporter::LayoutUpdated,
                         [&order] { order << QStringLiteral("told"); });
    }
    // Another program's call, to the object on /Pinged.
    void ping() {
        m_client.asyncCall(QDBusMessage::createMethodCall(m_server.baseService(), QStringLiteral("/Pinged"),
                                                          QStringLiteral("org.kestrova.Test"),
                                                          QStringLiteral("Ping")));
    }

    bool aboutToShow(int id) {
        const QDBusMessage reply = call(QStringLiteral("AboutToShow"), {id});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).toBool();
    }

    QDBusMessage event(int id, const QString &eventId) {
        return call(QStringLiteral("Event"),
                    {id, eventId, QVariant::fromValue(QDBusVariant(QString())), uint(0)});
    }

    kestrova::testing::PrivateSessionBus m_bus;
    // Tens of megabytes through the bus take seconds on a loaded machine.
    std::chrono::milliseconds m_callTimeout{5000};
    QDBusConnection m_server{QString()};
    QDBusConnection m_client{QString()};
    std::unique_ptr<DBusMenuExporter> m_exporter;
};

TEST_F(DBusMenuExporterTest, TheLayoutCarriesEveryRowAsTheHostShowsIt) {
    auto root = std::make_shared<Menu>();
    item(*root, QStringLiteral("Open"), [] {});
    root->addSeparator();
    root->addSeparator();
    auto checked = item(*root, QStringLiteral("Show_All & More"), [] {});
    checked->setState(MenuItem::State::on);
    checked->setImage(redSquare());
    item(*root, QStringLiteral("Secret"))->setHidden(true);
    item(*root, QStringLiteral("Two\nlines"))->setEnabled(false);
    item(*root, QStringLiteral("Copy"), [] {});
    auto copyPath = item(*root, QStringLiteral("Copy Path"), [] {});
    copyPath->setAlternate(true);
    copyPath->setKeyEquivalentModifierMask(Modifier::option);
    // A row that only a held Control key reveals, behind an empty placeholder.
    item(*root, QString())->setHostedView(HostedViewFactory::empty());
    auto reveal = item(*root, QStringLiteral("Reveal"), [] {});
    reveal->setAlternate(true);
    reveal->setKeyEquivalentModifierMask(Modifier::control);
    item(*root, QString())->setHostedView(HostedWidgetFactory::create(QStringLiteral("Folder  —  12 KB"), [] {
        return nullptr;
    }));
    auto subfolder = item(*root, QStringLiteral("Projects"));
    subfolder->setLazySubmenu(std::make_shared<Menu>(), {});
    root->addSeparator();
    exportMenu(root);

    const QDBusMessage version = call(QStringLiteral("Get"), {kInterface, QStringLiteral("Version")},
                                      QStringLiteral("org.freedesktop.DBus.Properties"));
    EXPECT_EQ(version.arguments().value(0).value<QDBusVariant>().variant().toUInt(), 3u);
    const QDBusMessage all =
        call(QStringLiteral("GetAll"), {kInterface}, QStringLiteral("org.freedesktop.DBus.Properties"));
    const QVariantMap properties = qdbus_cast<QVariantMap>(all.arguments().value(0));
    EXPECT_EQ(properties.value(QStringLiteral("TextDirection")).toString(), QStringLiteral("ltr"));
    EXPECT_EQ(properties.value(QStringLiteral("Status")).toString(), QStringLiteral("normal"));
    EXPECT_TRUE(properties.contains(QStringLiteral("IconThemePath")));

    const auto [revision, layout] = getLayout();
    EXPECT_EQ(layout.id, 0);
    // A label of two lines is two rows.
    EXPECT_EQ(labels(layout), (QStringList{"Open", "-----", "Show__All & More", "Secret", "Two", "lines",
                                           "Copy", "Copy Path", "Reveal", "Folder  —  12 KB", "Projects"}));
    const auto &rows = layout.children;
    ASSERT_EQ(rows.size(), 11);
    // Only what differs from the defaults is sent.
    EXPECT_EQ(rows[0].properties, (QVariantMap{{"label", "Open"}}));
    EXPECT_EQ(rows[1].properties, (QVariantMap{{"type", "separator"}}));
    EXPECT_EQ(rows[2].properties.value("toggle-type").toString(), QStringLiteral("checkmark"));
    EXPECT_EQ(rows[2].properties.value("toggle-state").toInt(), 1);
    const QImage icon = QImage::fromData(rows[2].properties.value("icon-data").toByteArray(), "PNG");
    EXPECT_EQ(icon.size(), QSize(16, 16));
    EXPECT_EQ(icon.pixelColor(8, 8), QColor(Qt::red));
    EXPECT_EQ(rows[3].properties.value("visible"), QVariant(false));
    EXPECT_EQ(rows[4].properties.value("enabled"), QVariant(false));
    EXPECT_EQ(rows[5].properties.value("enabled"), QVariant(false));
    EXPECT_FALSE(rows[6].properties.contains("enabled"));
    EXPECT_EQ(rows[9].properties.value("enabled"), QVariant(false));
    EXPECT_EQ(rows[9].properties.value("disposition").toString(), QStringLiteral("informative"));
    EXPECT_EQ(rows[10].properties.value("children-display").toString(), QStringLiteral("submenu"));
    EXPECT_TRUE(rows[10].children.isEmpty());

    // Ids are the rows' own for as long as they live, and distinct.
    const auto [againRevision, again] = getLayout();
    EXPECT_EQ(againRevision, revision);
    std::set<int> ids;
    for (int index = 0; index < rows.size(); ++index) {
        EXPECT_EQ(again.children[index].id, rows[index].id);
        ids.insert(rows[index].id);
    }
    EXPECT_EQ(ids.size(), 11u);
    EXPECT_FALSE(ids.contains(0));

    // The group and single-property reads agree with the layout.
    const QDBusMessage group =
        call(QStringLiteral("GetGroupProperties"),
             {QVariant::fromValue(QList<int>{rows[6].id, rows[2].id}), QStringList{QStringLiteral("label")}});
    const auto groupRows = qdbus_cast<DBusMenuItemPropertiesList>(group.arguments().value(0));
    ASSERT_EQ(groupRows.size(), 2);
    EXPECT_EQ(groupRows[0].properties, (QVariantMap{{"label", "Copy"}}));
    EXPECT_EQ(groupRows[1].properties, (QVariantMap{{"label", "Show__All & More"}}));
    const QDBusMessage enabled = call(QStringLiteral("GetProperty"), {rows[6].id, QStringLiteral("enabled")});
    EXPECT_EQ(enabled.arguments().value(0).value<QDBusVariant>().variant(), QVariant(true));
}

TEST_F(DBusMenuExporterTest, ALazySubfolderAppearsOnceTheHostIsAboutToShowIt) {
    auto root = std::make_shared<Menu>();
    auto subfolder = item(*root, QStringLiteral("Projects"));
    int builds = 0;
    std::vector<bool> openStates;
    subfolder->setLazySubmenu(std::make_shared<Menu>(),
                              LazySubmenu{
                                  .build =
                                      [&] {
                                          ++builds;
                                          auto built = std::make_shared<Menu>();
                                          item(*built, QStringLiteral("Plans.txt"));
                                          return built;
                                      },
                                  .onOpenChange = [&](bool isOpen) { openStates.push_back(isOpen); },
                              });
    exportMenu(root);

    const int id = getLayout().second.children.value(0).id;
    EXPECT_EQ(builds, 0);
    EXPECT_TRUE(aboutToShow(id));
    EXPECT_EQ(builds, 1);
    EXPECT_TRUE(subfolder->submenu()->isOpen());
    const auto [revision, submenu] = getLayout(id);
    EXPECT_EQ(labels(submenu), QStringList{"Plans.txt"});
    // Nothing new since the host read it: it may show what it has.
    EXPECT_FALSE(aboutToShow(id));
    EXPECT_EQ(builds, 1);

    EXPECT_EQ(event(id, QStringLiteral("closed")).type(), QDBusMessage::ReplyMessage);
    EXPECT_FALSE(subfolder->submenu()->isOpen());
    EXPECT_EQ(openStates, (std::vector<bool>{false, true, false}));
    // Opened again without asking first: the model hears it once, and the rows it kept stay.
    EXPECT_EQ(event(id, QStringLiteral("opened")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(event(id, QStringLiteral("opened")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(openStates, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(builds, 1);
}

TEST_F(DBusMenuExporterTest, AClickRunsTheRowsActionOnALaterTurnAfterTheMenusClosed) {
    auto root = std::make_shared<Menu>();
    std::vector<QString> ran;
    item(*root, QStringLiteral("Copy"), [&] { ran.push_back(root->isOpen() ? "open" : "closed"); });
    auto copyPath = item(*root, QStringLiteral("Copy Path"), [&] { ran.push_back("Copy Path"); });
    copyPath->setAlternate(true);
    copyPath->setKeyEquivalentModifierMask(Modifier::option);
    auto disabled = item(*root, QStringLiteral("Move"), [&] { ran.push_back("Move"); });
    disabled->setEnabled(false);
    root->addSeparator();
    // A folder row: a click chooses it, its submenu shows its contents.
    auto folder = item(*root, QStringLiteral("Documents"), [&] { ran.push_back("Documents"); });
    auto contents = std::make_shared<Menu>();
    item(*contents, QStringLiteral("Letter.txt"));
    folder->setSubmenu(contents);
    exportMenu(root);
    const auto layout = getLayout().second;
    ASSERT_EQ(layout.children.size(), 5);

    EXPECT_FALSE(aboutToShow(0));
    EXPECT_TRUE(root->isOpen());
    m_exporter->Event(layout.children[0].id, QStringLiteral("clicked"), QDBusVariant(QString()), 0);
    EXPECT_TRUE(ran.empty());
    ASSERT_TRUE(processEventsUntil([&] { return !ran.empty(); }));
    EXPECT_EQ(ran, std::vector<QString>{"closed"});

    // The alternate, which Option reveals on X11, is a row of its own with its own action.
    EXPECT_EQ(event(layout.children[1].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return ran.size() == 2; }));
    EXPECT_EQ(ran[1], QStringLiteral("Copy Path"));

    // Rows that cannot be chosen take the click without an error and run nothing.
    EXPECT_EQ(event(layout.children[2].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(event(layout.children[3].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(event(layout.children[4].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return ran.size() == 3; }));
    EXPECT_EQ(ran[2], QStringLiteral("Documents"));
    // Hosts open the submenu of a clicked folder row and never send its click: the submenu starts with
    // the folder's own row, which chooses it, and a separator that chooses nothing.
    const auto documents = getLayout().second.children[4];
    EXPECT_EQ(labels(documents), (QStringList{"Documents", "-----", "Letter.txt"}));
    EXPECT_FALSE(documents.children[0].properties.contains(QStringLiteral("children-display")));
    EXPECT_EQ(event(documents.children[1].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(event(documents.children[0].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return ran.size() == 4; }));
    EXPECT_EQ(ran[3], QStringLiteral("Documents"));
    const QDBusMessage label =
        call(QStringLiteral("GetProperty"), {documents.children[0].id, QStringLiteral("label")});
    EXPECT_EQ(label.arguments().value(0).value<QDBusVariant>().variant(),
              QVariant(QStringLiteral("Documents")));
    EXPECT_EQ(ran.size(), 4u);
}

int submenusMade = 0;
std::shared_ptr<Menu> makeCountedSubmenu() {
    ++submenusMade;
    return std::make_shared<Menu>();
}

TEST_F(DBusMenuExporterTest, AFileSubmenuNobodyOpenedIsLaidOutFromItsRowAndMadeOnlyWhenOpened) {
    // A folder of thousands of files: reading the whole layout makes none of their submenus.
    submenusMade = 0;
    auto root = std::make_shared<Menu>();
    std::vector<QString> ran;
    auto file = item(*root, QStringLiteral("Report.pdf"), [&] { ran.push_back("Report.pdf"); });
    file->setImage(redSquare());
    file->setDeferredLazySubmenu(&makeCountedSubmenu, {.build = [&] {
        auto built = std::make_shared<Menu>();
        item(*built, QStringLiteral("Move to Trash"), [&] { ran.push_back("trash"); });
        return built;
    }});
    exportMenu(root);

    const auto row = getLayout().second.children.value(0);
    // The file's own row as the file's row shows, picture too, without the submenu; no separator under it,
    // with nothing to part it from yet.
    EXPECT_EQ(labels(row), (QStringList{"Report.pdf"}));
    ASSERT_EQ(row.children.size(), 1);
    const auto own = row.children[0];
    QVariantMap ownLooks = row.properties;
    ownLooks.remove(QStringLiteral("children-display"));
    EXPECT_EQ(own.properties, ownLooks);
    EXPECT_EQ(submenusMade, 0);
    EXPECT_TRUE(file->isSubmenuDeferred());

    EXPECT_EQ(event(own.id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return !ran.empty(); }));
    EXPECT_EQ(ran, std::vector<QString>{"Report.pdf"});
    EXPECT_EQ(submenusMade, 0);

    // Opened, the submenu is made and built under the same own row, which the host may be showing.
    EXPECT_TRUE(aboutToShow(row.id));
    EXPECT_EQ(submenusMade, 1);
    const auto opened = getLayout(row.id).second;
    EXPECT_EQ(labels(opened), (QStringList{"Report.pdf", "-----", "Move to Trash"}));
    EXPECT_EQ(opened.children.value(0).id, own.id);
    EXPECT_EQ(labels(getLayout().second.children.value(0)), labels(opened));
    EXPECT_EQ(event(opened.children.value(2).id, QStringLiteral("clicked")).type(),
              QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return ran.size() == 2; }));
    EXPECT_EQ(ran[1], QStringLiteral("trash"));
}

TEST_F(DBusMenuExporterTest, AChangedMenuIsAnnouncedWithAHigherRevision) {
    auto root = std::make_shared<Menu>();
    auto sort = item(*root, QStringLiteral("Sort by Name"));
    exportMenu(root);
    SignalRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(listen(recorder));
    const auto [revision, before] = getLayout();
    const int sortId = before.children.value(0).id;

    // A row's state changes: its properties are sent again.
    sort->setState(MenuItem::State::on);
    root->menuNeedsUpdate();
    ASSERT_TRUE(processEventsUntil([&] { return !recorder.updatedProperties.isEmpty(); }));
    EXPECT_EQ(recorder.updatedProperties[0].id, sortId);
    EXPECT_EQ(recorder.updatedProperties[0].properties.value("toggle-state").toInt(), 1);
    EXPECT_TRUE(recorder.layoutUpdates.empty());

    // Its picture is replaced by another of the same size: the new picture is sent, as often as it changes.
    const auto pictureSent = [&](const QImage &picture) {
        recorder.updatedProperties.clear();
        sort->setImage(picture);
        root->menuNeedsUpdate();
        if (!processEventsUntil([&] { return !recorder.updatedProperties.isEmpty(); }))
            return QByteArray();
        return recorder.updatedProperties[0].properties.value("icon-data").toByteArray();
    };
    QImage blue(redSquare().size(), QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    const QByteArray red = pictureSent(redSquare());
    const QByteArray sentBlue = pictureSent(blue);
    EXPECT_FALSE(red.isEmpty());
    EXPECT_FALSE(sentBlue.isEmpty());
    EXPECT_NE(red, sentBlue);
    EXPECT_EQ(pictureSent(redSquare()), red);
    EXPECT_TRUE(recorder.layoutUpdates.empty());

    // A row comes: the layout is new.
    item(*root, QStringLiteral("Sort by Date"));
    root->menuNeedsUpdate();
    ASSERT_TRUE(processEventsUntil([&] { return !recorder.layoutUpdates.empty(); }));
    EXPECT_GT(recorder.layoutUpdates[0].first, revision);
    EXPECT_EQ(recorder.layoutUpdates[0].second, 0);
    const auto [newRevision, after] = getLayout();
    EXPECT_EQ(newRevision, recorder.layoutUpdates[0].first);
    EXPECT_EQ(labels(after), (QStringList{"Sort by Name", "Sort by Date"}));
    EXPECT_EQ(after.children[0].id, sortId);
}

// A hosted view whose text form the test changes, as details read from disk change a file's rows.
class TextFormView final : public HostedViewFactory {
public:
    QString description() const override { return QStringLiteral("file dates"); }
    std::optional<ExportedForm> exportedForm() const override { return form; }
    kestrova::platform::Subscription observeExportedForm(std::function<void()> changed) const override {
        return m_changes.subscribe(std::move(changed));
    }
    void change(ExportedForm newForm) {
        form = std::move(newForm);
        m_changes.notify();
    }

    ExportedForm form;

private:
    mutable kestrova::platform::ObserverList<> m_changes;
};

TEST_F(DBusMenuExporterTest, HostedRowsShowTheirTextFormAndFollowItsChanges) {
    // Laid out as a file's submenu: a choice, the preview, the dates, with separators between.
    auto root = std::make_shared<Menu>();
    item(*root, QStringLiteral("Copy"), [] {});
    root->addSeparator();
    auto preview = std::make_shared<TextFormView>();
    item(*root, QString())->setHostedView(preview);
    root->addSeparator();
    auto view = std::make_shared<TextFormView>();
    item(*root, QString())->setHostedView(view);
    exportMenu(root);
    SignalRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(listen(recorder));
    const auto visibility = [](const DBusMenuLayoutItem &layout) {
        QList<bool> shown;
        for (const auto &row : layout.children)
            shown << row.properties.value("visible", true).toBool();
        return shown;
    };

    // Nothing to say yet: the rows are there, out of sight, never the view's name; no separator is left
    // hanging below the last row that shows.
    const auto [revision, before] = getLayout();
    ASSERT_EQ(before.children.size(), 5);
    EXPECT_EQ(visibility(before), (QList<bool>{true, false, false, false, false}));
    EXPECT_FALSE(before.children[2].properties.contains("label"));
    EXPECT_FALSE(before.children[4].properties.contains("label"));
    const int separatorId = before.children[3].id;

    // The dates arrive while the host shows the menu: a row per line, so it is told of a new layout, and
    // one separator shows, never two together around the preview that has nothing to show.
    view->change(
        {.lines = {QStringLiteral("Opened: Today at 9:15"), QStringLiteral("Modified: Never")}, .image = {}});
    ASSERT_TRUE(processEventsUntil([&] { return !recorder.layoutUpdates.empty(); }));
    const auto [newRevision, withDates] = getLayout();
    EXPECT_GT(newRevision, revision);
    EXPECT_EQ(visibility(withDates), (QList<bool>{true, true, false, false, true, true}));
    EXPECT_EQ(withDates.children[4].id, before.children[4].id);
    for (const auto &[index, line] :
         {std::pair{4, "Opened: Today at 9:15"}, std::pair{5, "Modified: Never"}}) {
        const QVariantMap dates = withDates.children[index].properties;
        EXPECT_EQ(dates.value("label").toString(), QString::fromUtf8(line));
        EXPECT_FALSE(dates.value("enabled", true).toBool());
        EXPECT_EQ(dates.value("disposition").toString(), QStringLiteral("informative"));
    }
    EXPECT_FALSE(call(QStringLiteral("GetProperty"), {separatorId, QStringLiteral("visible")})
                     .arguments()
                     .value(0)
                     .value<QDBusVariant>()
                     .variant()
                     .toBool());

    // The thumbnail comes: a larger icon than a row's, within the bound a host can show.
    recorder.updatedProperties.clear();
    QImage picture(640, 320, QImage::Format_ARGB32);
    picture.fill(Qt::blue);
    preview->change({.lines = {}, .image = picture});
    ASSERT_TRUE(processEventsUntil([&] { return !recorder.updatedProperties.isEmpty(); }));
    std::map<int, QVariantMap> updated;
    for (const auto &row : recorder.updatedProperties)
        updated[row.id] = row.properties;
    const QImage icon = QImage::fromData(updated[before.children[2].id].value("icon-data").toByteArray());
    EXPECT_EQ(icon.size(),
              QSize(DBusMenuExporter::kLargestImageSide, DBusMenuExporter::kLargestImageSide / 2));
    EXPECT_TRUE(updated[separatorId].value("visible", true).toBool());
    // A host would write a placeholder text beside a picture without a label.
    EXPECT_EQ(updated[before.children[2].id].value("label"), QStringLiteral(" "));
    EXPECT_EQ(visibility(getLayout().second), (QList<bool>{true, true, true, true, true, true}));
}

TEST_F(DBusMenuExporterTest, ALongMenuHidesTheSeparatorsLeftTogetherOrAtItsEndAcrossItsSlices) {
    // Rows out of sight between separators, as a file's submenu has them, with the first pair split by
    // the end of a run and the last below thousands of rows.
    auto root = std::make_shared<Menu>();
    const auto add = [&](int count) {
        for (int row = 0; row < count; ++row)
            item(*root, QStringLiteral("row %1").arg(root->numberOfItems()));
    };
    add(int(DBusMenuExporter::kRowsPerRun) - 1);
    root->addSeparator();
    item(*root, QString())->setHostedView(std::make_shared<TextFormView>());
    root->addSeparator();
    add(int(DBusMenuExporter::kRowsPerSlice) * 2);
    root->addSeparator();
    auto last = std::make_shared<TextFormView>();
    item(*root, QString())->setHostedView(last);
    const std::size_t firstSeparator = DBusMenuExporter::kRowsPerRun - 1;
    const std::size_t lastSeparator = std::size_t(root->numberOfItems()) - 2;
    exportMenu(root);
    SignalRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(listen(recorder));
    const auto shown = [](const DBusMenuLayoutItem &layout, std::size_t index) {
        return layout.children.at(qsizetype(index)).properties.value("visible", true).toBool();
    };

    const auto before = getLayout().second;
    ASSERT_EQ(std::size_t(before.children.size()), lastSeparator + 2);
    EXPECT_TRUE(shown(before, firstSeparator));
    EXPECT_FALSE(shown(before, firstSeparator + 2));
    EXPECT_FALSE(shown(before, lastSeparator));

    // A row renamed: the check that finds it, a run at a time, tells the host of that row alone.
    root->items().front()->setTitle(QStringLiteral("renamed"));
    root->menuNeedsUpdate();
    ASSERT_TRUE(processEventsUntil([&] { return !recorder.updatedProperties.isEmpty(); }));
    ASSERT_EQ(recorder.updatedProperties.size(), 1);
    EXPECT_EQ(recorder.updatedProperties[0].id, before.children[0].id);

    // The last row comes into sight: so does the separator above it.
    recorder.updatedProperties.clear();
    last->change({.lines = {QStringLiteral("Modified: Never")}, .image = {}});
    ASSERT_TRUE(processEventsUntil([&] { return !recorder.updatedProperties.isEmpty(); }));
    std::map<int, QVariantMap> updated;
    for (const auto &row : recorder.updatedProperties)
        updated[row.id] = row.properties;
    ASSERT_TRUE(updated.contains(before.children[qsizetype(lastSeparator)].id));
    EXPECT_TRUE(updated[before.children[qsizetype(lastSeparator)].id].value("visible", true).toBool());
    const auto after = getLayout().second;
    EXPECT_TRUE(shown(after, firstSeparator));
    EXPECT_FALSE(shown(after, firstSeparator + 2));
    EXPECT_TRUE(shown(after, lastSeparator));
}

TEST_F(DBusMenuExporterTest, TheRootIsMadeAfreshEachTimeTheHostOpensIt) {
    int builds = 0;
    m_exporter = std::make_unique<DBusMenuExporter>(m_server, kPath, [&] {
        auto root = std::make_shared<Menu>();
        item(*root, QStringLiteral("Opening %1").arg(++builds));
        return root;
    });
    const auto [revision, first] = getLayout();
    EXPECT_EQ(labels(first), QStringList{"Opening 1"});
    EXPECT_TRUE(aboutToShow(0));
    const auto [secondRevision, second] = getLayout();
    EXPECT_EQ(labels(second), QStringList{"Opening 2"});
    EXPECT_GT(secondRevision, revision);
    // The earlier root's rows are gone with it.
    EXPECT_EQ(event(first.children[0].id, QStringLiteral("clicked")).type(), QDBusMessage::ErrorMessage);
}

TEST_F(DBusMenuExporterTest, IdsTheHostReadStayValidWhenTheMenuRelistsItsRowsOnOpening) {
    // A folder menu lists its folder afresh whenever it opens: new rows, most of them as they were.
    auto root = std::make_shared<Menu>();
    std::vector<QString> ran;
    QStringList listing{QStringLiteral("Letter.txt"), QStringLiteral("Notes.txt")};
    const auto relist = [&] {
        root->removeAllItems();
        for (const QString &name : listing)
            item(*root, name, [&ran, name] { ran.push_back(name); });
    };
    relist();
    const auto subscription = root->observeNeedsUpdate(relist);
    exportMenu(root);
    const auto read = getLayout().second;
    ASSERT_EQ(labels(read), (QStringList{"Letter.txt", "Notes.txt"}));

    // A host that sends only "opened" before showing what it read, then a click on a row it shows.
    listing.insert(1, QStringLiteral("New.txt"));
    EXPECT_EQ(event(0, QStringLiteral("opened")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(event(read.children[1].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return !ran.empty(); }));
    EXPECT_EQ(ran, std::vector<QString>{"Notes.txt"});

    // Read again, the rows that came back keep their ids and the new one has one of its own.
    const auto again = getLayout().second;
    ASSERT_EQ(labels(again), (QStringList{"Letter.txt", "New.txt", "Notes.txt"}));
    EXPECT_EQ(again.children[0].id, read.children[0].id);
    EXPECT_EQ(again.children[2].id, read.children[1].id);
    EXPECT_NE(again.children[1].id, read.children[0].id);
    EXPECT_NE(again.children[1].id, read.children[1].id);

    // A row that went away is not stood in for by another.
    listing = QStringList{QStringLiteral("Notes.txt")};
    EXPECT_EQ(event(0, QStringLiteral("closed")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(event(0, QStringLiteral("opened")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(event(again.children[0].id, QStringLiteral("clicked")).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(event(again.children[2].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return ran.size() == 2; }));
    EXPECT_EQ(ran[1], QStringLiteral("Notes.txt"));
}

// A folder menu as the application keeps one: listed afresh before each opening, its rows given back a turn
// after it closes, and listed again by the provider when a host asks for it while it is closed and empty.
class ListedFolder {
public:
    explicit ListedFolder(QStringList names)
        : m_names(std::move(names)) {
        m_relisting = menu->observeNeedsUpdate([this] { list(); });
        m_releasing = menu->observeOpenState([this](bool isOpen) {
            if (isOpen) {
                m_hasOpened = true;
                return;
            }
            if (!std::exchange(m_hasOpened, false))
                return;
            QTimer::singleShot(0, [this] {
                if (menu->isOpen())
                    return;
                menu->removeAllItems();
                ++releases;
            });
        });
    }
    std::shared_ptr<Menu> provide() {
        if (!menu->isOpen() && menu->isEmpty())
            menu->menuNeedsUpdate();
        return menu;
    }
    void list() {
        menu->removeAllItems();
        for (const QString &name : m_names) {
            auto row = item(*menu, name, [this, name] { chosen.push_back(name); });
            auto actions = std::make_shared<Menu>();
            item(*actions, QStringLiteral("Move to Trash"),
                 [this, name] { chosen.push_back("trash " + name); });
            row->setSubmenu(actions);
        }
    }

    const std::shared_ptr<Menu> menu = std::make_shared<Menu>();
    std::vector<QString> chosen;
    int releases = 0;

private:
    QStringList m_names;
    bool m_hasOpened = false;
    kestrova::platform::Subscription m_relisting;
    kestrova::platform::Subscription m_releasing;
};

TEST_F(DBusMenuExporterTest, AHostThatNeverSaysItsMenuClosedHoldsItOpenOnlyForAWhile) {
    ListedFolder folder({QStringLiteral("Letter.txt"), QStringLiteral("Notes.txt")});
    m_exporter = std::make_unique<DBusMenuExporter>(m_server, kPath, [&] { return folder.provide(); });
    // Whether the root was empty each time the host was told to read it again.
    std::vector<bool> announcedEmpty;
    QObject::connect(m_exporter.get(), &DBusMenuExporter::LayoutUpdated, m_exporter.get(),
                     [&](uint, int parent) {
                         if (parent == 0)
                             announcedEmpty.push_back(folder.menu->isEmpty());
                     });

    // Shown, a submenu hovered, then dismissed without a word.
    aboutToShow(0);
    const auto read = getLayout().second;
    ASSERT_EQ(labels(read), (QStringList{"Letter.txt", "Notes.txt"}));
    aboutToShow(read.children[0].id);
    const auto letter = getLayout(read.children[0].id).second;
    ASSERT_EQ(labels(letter), (QStringList{"Letter.txt", "-----", "Move to Trash"}));
    EXPECT_TRUE(folder.menu->isOpen());
    ASSERT_TRUE(processEventsUntil([&] { return !folder.menu->isOpen(); }));
    EXPECT_FALSE(folder.menu->items()[0]->submenu()->isOpen());

    // The model gave its rows back; read again, the menu is full.
    ASSERT_TRUE(processEventsUntil([&] { return folder.releases == 1; }));
    EXPECT_EQ(labels(getLayout().second), labels(read));

    // The host still shows what it read, the submenu it opened too: their rows are chosen all the same.
    EXPECT_EQ(event(letter.children[2].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(event(read.children[1].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return folder.chosen.size() == 2; }));
    EXPECT_EQ(folder.chosen, (std::vector<QString>{"trash Letter.txt", "Notes.txt"}));

    // Opened again and a row chosen: the menu closes, gives its rows back and is full again before the
    // host is told anything.
    aboutToShow(0);
    EXPECT_EQ(event(getLayout().second.children[1].id, QStringLiteral("clicked")).type(),
              QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return folder.chosen.size() == 3 && folder.releases == 2; }));
    EXPECT_EQ(folder.chosen[2], QStringLiteral("Notes.txt"));
    ASSERT_TRUE(processEventsUntil([&] { return !folder.menu->isEmpty(); }));
    EXPECT_EQ(labels(getLayout().second), labels(read));
    EXPECT_EQ(std::count(announcedEmpty.begin(), announcedEmpty.end(), true), 0);
}

TEST_F(DBusMenuExporterTest, AHostsTimeWithAMenuCountsFromWhenItHadTheRowsItWaitedFor) {
    // A folder slow to list: its rows come most of a lease after the host asked to show it, still within
    // the longest the exporter keeps a host waiting.
    static_assert(DBusMenuExporter::kHostMenuLease * 4 / 5 < DBusMenuExporter::kLongestAnswerDelay);
    auto root = std::make_shared<Menu>();
    const auto listing = root->observeNeedsUpdate([&] {
        if (!root->isEmpty() || root->isAwaitingContents())
            return;
        root->setAwaitingContents(true);
        QTimer::singleShot(DBusMenuExporter::kHostMenuLease * 4 / 5, [&] {
            item(*root, QStringLiteral("Letter.txt"));
            root->setAwaitingContents(false);
        });
    });
    m_exporter = std::make_unique<DBusMenuExporter>(m_server, kPath, [&] { return root; });

    for (int opening = 0; opening < 2; ++opening) {
        aboutToShow(0);
        ASSERT_EQ(labels(getLayout().second), QStringList{"Letter.txt"});
        // The host shows the rows and stays quiet: half a lease later the menu is still its own, and it
        // closes once the lease has run out.
        bool isOpenHalfALeaseLater = false;
        const QObject check;
        QTimer::singleShot(DBusMenuExporter::kHostMenuLease / 2, &check,
                           [&] { isOpenHalfALeaseLater = root->isOpen(); });
        ASSERT_TRUE(processEventsUntil([&] { return !root->isOpen(); }));
        EXPECT_TRUE(isOpenHalfALeaseLater) << "opening " << opening;
        // Given back while closed, as folder menus are: the next opening lists the folder again.
        root->removeAllItems();
    }
}

// A folder's listing: rows known by title, made when asked.
struct Listing : kestrova::platform::MenuRowSource {
    Listing(QString prefix, std::size_t count)
        : prefix(std::move(prefix))
        , rows(count) {}
    std::size_t count() const override { return rows; }
    QString title(std::size_t index) const override { return prefix + QString::number(index); }
    std::shared_ptr<MenuItem> makeItem(std::size_t index) const override {
        if (index == madeLater && whenMade)
            QTimer::singleShot(0, whenMade);
        auto row = std::make_shared<MenuItem>(title(index));
        if (chosen)
            row->setAction([chosen = chosen, title = title(index)] { *chosen << title; });
        if (submenuEvery > 0 && index % submenuEvery == 0)
            row->setDeferredLazySubmenu([] { return std::make_shared<Menu>(); }, {});
        return row;
    }
    std::vector<std::size_t> widestCandidates(std::size_t) const override { return {0}; }
    QStringList titles() const {
        QStringList all;
        for (std::size_t index = 0; index < rows; ++index)
            all << title(index);
        return all;
    }
    QString prefix;
    std::size_t rows;
    // Called on the turn after row `madeLater` was made.
    std::function<void()> whenMade;
    std::size_t madeLater = 0;
    QStringList *chosen = nullptr;
    // Every this many rows one has a submenu (a folder's files and folders), made only when opened.
    std::size_t submenuEvery = 0;
};

// Long enough that a host's reading, or a check of what changed, takes many turns of the loop.
constexpr std::size_t kLongListing = 8 * DBusMenuExporter::kRowsPerSlice + 5;

TEST_F(DBusMenuExporterTest, ALongListingIsLaidOutWhileTheLoopAnswersAndChangesMeanwhileAreTold) {
    auto root = std::make_shared<Menu>();
    QStringList chosen;
    std::shared_ptr<MenuItem> photos;
    // Listed as a folder menu is; `whenMade` runs in the middle of a host's reading.
    const auto list = [&](const QString &prefix, std::function<void()> whenMade) {
        root->removeAllItems();
        photos = item(*root, QStringLiteral("Photos"), [&] {
            chosen << QStringLiteral("Photos");
            photos->setTitle(QStringLiteral("Chosen"));
        });
        root->addSeparator();
        const auto listing = std::make_shared<Listing>(prefix, kLongListing);
        listing->madeLater = DBusMenuExporter::kRowsPerSlice + 1;
        listing->whenMade = std::move(whenMade);
        root->addRows(listing);
        root->addSeparator();
        item(*root, QStringLiteral("Open Folder"), [] {});
        return QStringList{"Photos", "-----"} + listing->titles() + QStringList{"-----", "Open Folder"};
    };
    QStringList first = list(QStringLiteral("photo-"), [&] {
        photos->setTitle(QStringLiteral("Pictures"));
        root->menuNeedsUpdate();
    });
    exportMenu(root);
    SignalRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(listen(recorder));

    // Another caller is answered before the layout, which is the menu as the host asked for it; then the
    // host hears of the row renamed meanwhile.
    QDBusMessage read = QDBusMessage::createMethodCall(m_server.baseService(), kPath, kInterface,
                                                       QStringLiteral("GetLayout"));
    read.setArguments({0, -1, QStringList()});
    QDBusPendingCall layout = m_client.asyncCall(read, int(m_callTimeout.count()));
    Pinged pinged;
    std::optional<bool> wasLaidOutWhenAnswered;
    pinged.asked = [&] { wasLaidOutWhenAnswered = layout.isFinished(); };
    ASSERT_TRUE(
        m_server.registerObject(QStringLiteral("/Pinged"), &pinged, QDBusConnection::ExportScriptableSlots));
    ping();
    ASSERT_TRUE(
        processEventsUntil([&] { return layout.isFinished() && wasLaidOutWhenAnswered; }, m_callTimeout));
    EXPECT_FALSE(*wasLaidOutWhenAnswered);
    const auto answer = qdbus_cast<DBusMenuLayoutItem>(layout.reply().arguments().value(1));
    EXPECT_EQ(labels(answer), first);
    ASSERT_TRUE(processEventsUntil([&] { return !recorder.updatedProperties.isEmpty(); }));
    EXPECT_EQ(recorder.updatedProperties[0].properties.value(QStringLiteral("label")),
              QStringLiteral("Pictures"));
    EXPECT_EQ(event(answer.children[0].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    // Once the host has heard what the choice changed, nothing is being checked any more.
    ASSERT_TRUE(processEventsUntil([&] { return recorder.updatedProperties.size() == 2; }));
    EXPECT_EQ(chosen, QStringList{"Photos"});

    // Listed afresh in the middle of a reading: the host is given the new listing whole.
    QStringList third;
    list(QStringLiteral("picture-"), [&] { third = list(QStringLiteral("drawing-"), {}); });
    EXPECT_EQ(labels(getLayout().second), third);
}

TEST_F(DBusMenuExporterTest, ALongListingIsCheckedWhileTheLoopAnswersAndRowsThatCameBackKeepTheirIds) {
    auto root = std::make_shared<Menu>();
    QStringList chosen;
    bool isSlow = false;
    const auto list = [&](std::size_t count, std::function<void()> whenMade = {}) {
        root->removeAllItems();
        const auto listing = std::make_shared<Listing>(QStringLiteral("photo-"), count);
        listing->chosen = &chosen;
        listing->madeLater = DBusMenuExporter::kRowsPerSlice + 1;
        listing->whenMade = std::move(whenMade);
        root->addRows(listing);
        item(*root, QStringLiteral("Open Folder"), [] {});
        return listing->titles() + QStringList{"Open Folder"};
    };
    // Listed afresh at each opening, the rows coming a little later, as a folder menu is.
    const auto opening = root->observeNeedsUpdate([&] {
        if (!isSlow || root->isAwaitingContents())
            return;
        root->setAwaitingContents(true);
        QTimer::singleShot(0, [&] {
            list(kLongListing + 2);
            root->setAwaitingContents(false);
        });
    });
    list(kLongListing);
    exportMenu(root);
    SignalRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(listen(recorder));
    const auto before = getLayout().second;
    const std::weak_ptr<MenuItem> firstListed = root->sourceItem(0);
    // What the loop did first: answer another program's call, or tell the host.
    QStringList order;
    Pinged pinged;
    ASSERT_NO_FATAL_FAILURE(recordOrder(pinged, order));

    // A file added, found by the folder's watch: another caller is answered before the host hears of it.
    const QStringList added = list(kLongListing + 1);
    root->menuNeedsUpdate();
    ping();
    ASSERT_TRUE(processEventsUntil([&] { return order.size() == 2 && !recorder.layoutUpdates.empty(); }));
    EXPECT_EQ(order, (QStringList{"answered", "told"}));
    const auto after = getLayout().second;
    EXPECT_EQ(labels(after), added);
    // The rows that came back keep the ids the host shows, and a click on one reaches the row listed now.
    ASSERT_EQ(after.children.size(), before.children.size() + 1);
    for (qsizetype index = 0; index + 1 < before.children.size(); ++index)
        ASSERT_EQ(after.children[index].id, before.children[index].id) << index;
    EXPECT_EQ(after.children.back().id, before.children.back().id);
    EXPECT_EQ(event(before.children[5].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return !chosen.isEmpty(); }));
    EXPECT_EQ(chosen, QStringList{"photo-5"});
    // What the host can no longer choose is freed.
    EXPECT_TRUE(processEventsUntil([&] { return firstListed.expired(); }));

    // Another program reads the menu while a file added is being checked: the host, which has the rows from
    // before, hears of it all the same.
    recorder.layoutUpdates.clear();
    const QStringList grown = list(kLongListing + 2);
    root->menuNeedsUpdate();
    EXPECT_EQ(labels(getLayout().second), grown);
    EXPECT_TRUE(processEventsUntil([&] { return !recorder.layoutUpdates.empty(); }));

    // Listed afresh again while that is being checked: the host hears of it and reads the newest listing.
    recorder.layoutUpdates.clear();
    QStringList newest;
    list(kLongListing + 3, [&] {
        newest = list(kLongListing + 4);
        root->menuNeedsUpdate();
    });
    root->menuNeedsUpdate();
    ASSERT_TRUE(processEventsUntil([&] { return !newest.isEmpty() && !recorder.layoutUpdates.empty(); }));
    EXPECT_EQ(labels(getLayout().second), newest);

    // The host opens it, and it is listed afresh: its answer, told once the long menu was looked at, says
    // to read it again, and what it reads is the new listing.
    isSlow = true;
    QDBusMessage show = QDBusMessage::createMethodCall(m_server.baseService(), kPath, kInterface,
                                                       QStringLiteral("AboutToShow"));
    show.setArguments({0});
    QDBusPendingCall shown = m_client.asyncCall(show, int(m_callTimeout.count()));
    ASSERT_TRUE(processEventsUntil([&] { return shown.isFinished(); }, m_callTimeout));
    EXPECT_TRUE(shown.reply().arguments().value(0).toBool());
    EXPECT_EQ(getLayout().second.children.size(), qsizetype(kLongListing + 3));
}

TEST_F(DBusMenuExporterTest, RowsOfALongListingTheHostShowsStayChoosableUntilItIsToldOrOpensTheMenuAgain) {
    auto root = std::make_shared<Menu>();
    QStringList chosen;
    const auto list = [&](const QString &prefix, std::size_t count) {
        root->removeAllItems();
        const auto listing = std::make_shared<Listing>(prefix, count);
        listing->chosen = &chosen;
        root->addRows(listing);
        item(*root, QStringLiteral("Open Folder"), [] {});
        return listing->titles() + QStringList{"Open Folder"};
    };
    list(QStringLiteral("photo-"), kLongListing);
    exportMenu(root);
    SignalRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(listen(recorder));
    getLayout();
    bool isTold = false;
    QObject::connect(m_exporter.get(), &DBusMenuExporter::LayoutUpdated, [&] { isTold = true; });

    // The folder is emptied but for three files: the host's thousands of rows are looked at over turns
    // (each turn handles what else came meanwhile), not on the first; then it is told, and reads the three.
    const QStringList few = list(QStringLiteral("kept-"), 3);
    root->menuNeedsUpdate();
    for (int turn = 0; turn < 2; ++turn)
        QCoreApplication::processEvents();
    EXPECT_FALSE(isTold);
    ASSERT_TRUE(processEventsUntil([&] { return isTold; }));
    EXPECT_EQ(labels(getLayout().second), few);

    // Listed long again and read; then relisted before the host is told, while what it read is still
    // being held over turns: what it shows stays choosable, its last row too, until it opens the menu
    // afresh, after which those ids answer nothing.
    list(QStringLiteral("photo-"), kLongListing);
    recorder.layoutUpdates.clear();
    root->menuNeedsUpdate();
    ASSERT_TRUE(processEventsUntil([&] { return !recorder.layoutUpdates.empty(); }));
    const auto shown = getLayout().second;
    chosen.clear();
    list(QStringLiteral("picture-"), kLongListing);
    const int last = shown.children[kLongListing - 1].id;
    EXPECT_EQ(event(last, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(event(shown.children[9].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return chosen.size() == 2; }));
    EXPECT_EQ(chosen, (QStringList{QStringLiteral("photo-%1").arg(kLongListing - 1), "photo-9"}));
    // (Whether it must read the menu again depends on whether the check after those clicks told it first.)
    aboutToShow(0);
    EXPECT_EQ(event(shown.children[9].id, QStringLiteral("clicked")).type(), QDBusMessage::ErrorMessage);
    const auto pictures = getLayout().second;
    EXPECT_EQ(labels(pictures).first(), QStringLiteral("picture-0"));

    // Told of one more file, the rows it read coming back as they were, and every row leaves the menu on
    // the turn it is told, while what it was told of is still to be held: a click on the last row it
    // shows, the moment it comes, runs that row.
    isTold = false;
    list(QStringLiteral("picture-"), kLongListing + 1);
    root->menuNeedsUpdate();
    ASSERT_TRUE(processEventsUntil([&] { return isTold; }));
    chosen.clear();
    list(QStringLiteral("image-"), 3);
    m_exporter->Event(pictures.children[kLongListing - 1].id, QStringLiteral("clicked"),
                      QDBusVariant(QString()), 0);
    ASSERT_TRUE(processEventsUntil([&] { return !chosen.isEmpty(); }));
    EXPECT_EQ(chosen, QStringList{QStringLiteral("picture-%1").arg(kLongListing - 1)});
}

TEST_F(DBusMenuExporterTest, ALongFolderCutToAFewKeepsTheIdsTheHostReadWhenItOpensTheMenu) {
    auto root = std::make_shared<Menu>();
    QStringList chosen;
    const auto list = [&](std::size_t count) {
        root->removeAllItems();
        const auto listing = std::make_shared<Listing>(QStringLiteral("photo-"), count);
        listing->chosen = &chosen;
        root->addRows(listing);
    };
    list(kLongListing);
    exportMenu(root);
    const auto read = getLayout().second;

    // Emptied but for its first three files while closed, then opened: those rows are the ones the host
    // read, under the ids it has, and a click on one of them runs it.
    list(3);
    EXPECT_TRUE(aboutToShow(0));
    const auto opened = getLayout().second;
    ASSERT_EQ(labels(opened), (QStringList{"photo-0", "photo-1", "photo-2"}));
    for (int index = 0; index < 3; ++index)
        EXPECT_EQ(opened.children[index].id, read.children[index].id) << index;
    EXPECT_EQ(event(read.children[1].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return !chosen.isEmpty(); }));
    EXPECT_EQ(chosen, QStringList{"photo-1"});
}

TEST_F(DBusMenuExporterTest, ALongFolderTheHostOpenedStaysChoosableAfterItsCheckAndIsNotKeptListedForIt) {
    // A folder menu as the status item provides it: listed when asked for while empty, its rows given back
    // once it closed.
    auto root = std::make_shared<Menu>();
    QStringList chosen;
    std::weak_ptr<Listing> listed;
    const auto listing = root->observeNeedsUpdate([&] {
        root->removeAllItems();
        auto rows = std::make_shared<Listing>(QStringLiteral("photo-"), kLongListing);
        rows->chosen = &chosen;
        rows->submenuEvery = 2;
        listed = rows;
        root->addRows(std::move(rows));
    });
    bool hasOpened = false;
    int releases = 0;
    const auto releasing = root->observeOpenState([&](bool isOpen) {
        if (isOpen) {
            hasOpened = true;
            return;
        }
        if (!std::exchange(hasOpened, false))
            return;
        QTimer::singleShot(0, [&] {
            root->removeAllItems();
            ++releases;
        });
    });
    m_exporter = std::make_unique<DBusMenuExporter>(m_server, kPath, [&] {
        if (!root->isOpen() && root->isEmpty())
            root->menuNeedsUpdate();
        return root;
    });
    SignalRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(listen(recorder));

    // Opened and left without a word: past the lease the model closes and gives its rows back, and the
    // folder is listed again to see whether what the host shows changed. It did not, and that listing
    // goes once the check is done.
    aboutToShow(0);
    const auto shown = getLayout().second;
    ASSERT_EQ(shown.children.size(), qsizetype(kLongListing));
    const std::weak_ptr<MenuItem> readRow = root->sourceItem(5);
    // (Told once, of the menu it had never read.)
    ASSERT_TRUE(processEventsUntil([&] { return !recorder.layoutUpdates.empty(); }));
    recorder.layoutUpdates.clear();
    event(0, QStringLiteral("opened"));
    ASSERT_TRUE(processEventsUntil([&] { return releases == 1 && listed.expired(); }));
    EXPECT_TRUE(root->isEmpty());
    EXPECT_TRUE(recorder.layoutUpdates.empty());

    // The row it read whose id a row listed again took is freed: nothing could reach it any more.
    EXPECT_TRUE(processEventsUntil([&] { return readRow.expired(); }));
    // The host shows what it read, and was told nothing: its rows still run, with a submenu or without,
    // the last one too.
    for (const qsizetype row : {qsizetype(4), qsizetype(5), shown.children.size() - 1})
        EXPECT_EQ(event(shown.children[row].id, QStringLiteral("clicked")).type(),
                  QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return chosen.size() == 3; }));
    EXPECT_EQ(chosen, (QStringList{"photo-4", "photo-5", QStringLiteral("photo-%1").arg(kLongListing - 1)}));

    // Read again, and opened again: listed afresh, and its rows run.
    EXPECT_EQ(labels(getLayout().second), labels(shown));
    aboutToShow(0);
    const auto reopened = getLayout().second;
    EXPECT_EQ(labels(reopened), labels(shown));
    EXPECT_EQ(event(reopened.children[7].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return chosen.size() == 4; }));
    EXPECT_EQ(chosen.back(), QStringLiteral("photo-7"));
}

TEST_F(DBusMenuExporterTest, RowsReplacedInALayoutTheHostWasToldOfAreFreed) {
    // A menu our own popup lists afresh at each opening, read once by a host that never opens it.
    auto root = std::make_shared<Menu>();
    int listing = 0;
    const auto relist = [&] {
        root->removeAllItems();
        item(*root, QStringLiteral("Listing %1").arg(++listing));
    };
    relist();
    const auto subscription = root->observeNeedsUpdate(relist);
    exportMenu(root);
    SignalRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(listen(recorder));
    getLayout();
    const std::weak_ptr<MenuItem> first = root->items().front();

    for (std::size_t opening = 1; opening <= 3; ++opening) {
        root->menuNeedsUpdate();
        ASSERT_TRUE(processEventsUntil([&] { return recorder.layoutUpdates.size() == opening; }));
    }
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(labels(getLayout().second), QStringList{"Listing 4"});
}

TEST_F(DBusMenuExporterTest, AMenuSomeoneElseClosesIsNoLongerTheHosts) {
    auto root = std::make_shared<Menu>();
    auto folderRow = item(*root, QStringLiteral("Documents"));
    auto contents = std::make_shared<Menu>();
    item(*contents, QStringLiteral("Letter.txt"));
    folderRow->setSubmenu(contents);
    exportMenu(root);
    const auto read = getLayout().second;
    aboutToShow(0);
    aboutToShow(read.children[0].id);
    ASSERT_TRUE(contents->isOpen());

    // Our own popup takes the menu over: the submenu the host opened closes with it, and when the host's
    // time runs out only what it opened since closes, never the menu our popup shows.
    root->menuDidClose();
    EXPECT_FALSE(contents->isOpen());
    root->menuNeedsUpdate();
    root->menuWillOpen();
    aboutToShow(read.children[0].id);
    ASSERT_TRUE(contents->isOpen());
    ASSERT_TRUE(processEventsUntil([&] { return !contents->isOpen(); }));
    EXPECT_TRUE(root->isOpen());
}

TEST_F(DBusMenuExporterTest, LabelsAreSingleLinesAndTipsOfOurOwnPopupAreLeftOut) {
    auto root = std::make_shared<Menu>();
    auto tip =
        item(*root, QStringLiteral("Tips:\n- Press the Alt key to reveal more actions.\n- You can drag "
                                   "the file by its thumbnail."));
    tip->setLeftOutOfExport(true);
    root->addSeparator();
    auto explanation = item(*root, QStringLiteral("Could not read folder.\n\nThe disk was unmounted,\nor the "
                                                  "server was disconnected."));
    explanation->setEnabled(false);
    int opened = 0;
    item(*root, QStringLiteral("Open\nthe folder"), [&] { ++opened; });
    auto dates = std::make_shared<TextFormView>();
    dates->form = {.lines = {QStringLiteral("Created: Today"), QStringLiteral("Modified: Never")},
                   .image = {}};
    item(*root, QString())->setHostedView(dates);
    exportMenu(root);

    const auto layout = getLayout().second;
    QStringList shown;
    for (const auto &row : layout.children) {
        if (row.properties.value(QStringLiteral("visible"), true).toBool())
            shown << (row.properties.value(QStringLiteral("type")) == QStringLiteral("separator")
                          ? QStringLiteral("-----")
                          : row.properties.value(QStringLiteral("label")).toString());
    }
    EXPECT_EQ(shown, (QStringList{"Could not read folder.", "The disk was unmounted,",
                                  "or the server was disconnected.", "Open", "the folder", "Created: Today",
                                  "Modified: Never"}));
    ASSERT_EQ(layout.children.size(), 8);
    // Each line stands for its row: disabled with it, chosen with it.
    EXPECT_FALSE(layout.children[2].properties.value(QStringLiteral("enabled"), true).toBool());
    EXPECT_EQ(layout.children[7].properties.value(QStringLiteral("disposition")),
              QStringLiteral("informative"));
    const int secondLine = layout.children[5].id;
    EXPECT_EQ(call(QStringLiteral("GetProperty"), {secondLine, QStringLiteral("label")})
                  .arguments()
                  .value(0)
                  .value<QDBusVariant>()
                  .variant(),
              QVariant(QStringLiteral("the folder")));
    EXPECT_EQ(event(secondLine, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return opened == 1; }));
    EXPECT_EQ(event(layout.children[2].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(event(layout.children[5].id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(processEventsUntil([&] { return opened == 2; }));
}

TEST_F(DBusMenuExporterTest, HostileCallsGetErrorsAndLeaveTheMenuWorking) {
    auto root = std::make_shared<Menu>();
    int runs = 0;
    item(*root, QStringLiteral("Open"), [&] { ++runs; });
    exportMenu(root);
    const int openId = getLayout().second.children.value(0).id;
    const auto isError = [](const QDBusMessage &reply) { return reply.type() == QDBusMessage::ErrorMessage; };

    EXPECT_TRUE(isError(call(QStringLiteral("GetLayout"), {987654, -1, QStringList()})));
    EXPECT_TRUE(isError(call(QStringLiteral("GetLayout"), {0, -2, QStringList()})));
    EXPECT_TRUE(isError(call(QStringLiteral("GetLayout"), {QStringLiteral("zero"), QStringLiteral("all")})));
    EXPECT_TRUE(isError(call(QStringLiteral("GetProperty"), {-5, QStringLiteral("label")})));
    EXPECT_TRUE(isError(call(QStringLiteral("GetProperty"), {openId, QStringLiteral("no-such-thing")})));
    EXPECT_TRUE(isError(event(-1, QStringLiteral("clicked"))));
    EXPECT_TRUE(isError(call(QStringLiteral("AboutToShow"), {424242})));
    EXPECT_TRUE(isError(call(QStringLiteral("Event"), {openId})));

    QList<int> huge(100000, openId);
    EXPECT_TRUE(
        isError(call(QStringLiteral("GetGroupProperties"), {QVariant::fromValue(huge), QStringList()})));
    const QDBusMessage mixed = call(QStringLiteral("GetGroupProperties"),
                                    {QVariant::fromValue(QList<int>{-7, openId, 31337}), QStringList()});
    const auto rows = qdbus_cast<DBusMenuItemPropertiesList>(mixed.arguments().value(0));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].id, openId);
    const QDBusMessage shown =
        call(QStringLiteral("AboutToShowGroup"), {QVariant::fromValue(QList<int>{0, 99, -3})});
    EXPECT_EQ(qdbus_cast<QList<int>>(shown.arguments().value(1)), (QList<int>{99, -3}));

    using kestrova::platform::desktop::DBusMenuEvent;
    using kestrova::platform::desktop::DBusMenuEventList;
    const QDBusVariant noData(QString{});
    EXPECT_TRUE(
        isError(call(QStringLiteral("EventGroup"),
                     {QVariant::fromValue(DBusMenuEventList{{-1, QStringLiteral("clicked"), noData, 0},
                                                            {77, QStringLiteral("clicked"), noData, 0}})})));
    const QDBusMessage group =
        call(QStringLiteral("EventGroup"),
             {QVariant::fromValue(DBusMenuEventList{{-1, QStringLiteral("clicked"), noData, 0},
                                                    {openId, QStringLiteral("hovered"), noData, 0}})});
    EXPECT_EQ(qdbus_cast<QList<int>>(group.arguments().value(0)), QList<int>{-1});

    // A second menu cannot take the path of the first.
    {
        const DBusMenuExporter intruder(m_server, kPath, std::make_shared<Menu>());
        EXPECT_FALSE(intruder.isRegistered());
    }

    // The menu still answers, and nothing ran.
    EXPECT_EQ(getLayout().second.children.value(0).id, openId);
    EXPECT_EQ(runs, 0);
}

// A folder of tens of thousands of entries with their pictures makes a layout larger than a message can
// hold; sent whole, it would cost the connection and every status item with it.
TEST_F(DBusMenuExporterTest, ALayoutLargerThanAMessageCanHoldStaysAnswerable) {
    m_callTimeout = std::chrono::seconds(60);
    QImage noise = noisePicture();
    auto root = std::make_shared<Menu>();
    constexpr int kRows = 800;
    int lastRuns = 0;
    std::vector<std::shared_ptr<MenuItem>> pictures;
    for (int index = 0; index < kRows; ++index) {
        pictures.push_back(item(*root, QStringLiteral("Picture %1").arg(index),
                                [&lastRuns, index] { lastRuns += index == kRows - 1; }));
        pictures.back()->setImage(noise);
    }
    exportMenu(root);
    SignalRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(listen(recorder));
    getLayout();

    // Every picture changes: more than a message holds, so the host is told to read the menu again.
    noise.invertPixels();
    for (const auto &picture : pictures)
        picture->setImage(noise);
    root->menuNeedsUpdate();
    ASSERT_TRUE(processEventsUntil([&] { return !recorder.layoutUpdates.empty(); }, m_callTimeout));
    EXPECT_TRUE(recorder.updatedProperties.isEmpty());

    const DBusMenuLayoutItem layout = getLayout().second;
    ASSERT_EQ(layout.children.size(), kRows);
    const QString iconData = QStringLiteral("icon-data");
    EXPECT_FALSE(layout.children.front().properties.value(iconData).toByteArray().isEmpty());
    // Every row is there with its label; the later ones without their picture.
    EXPECT_FALSE(layout.children.back().properties.contains(iconData));
    EXPECT_EQ(layout.children.back().properties.value(QStringLiteral("label")),
              QStringLiteral("Picture %1").arg(kRows - 1));
    // So are the rows a host asks for by id.
    QList<int> ids;
    for (const DBusMenuLayoutItem &row : layout.children)
        ids.append(row.id);
    const auto asked = qdbus_cast<DBusMenuItemPropertiesList>(
        call(QStringLiteral("GetGroupProperties"), {QVariant::fromValue(ids), QStringList()})
            .arguments()
            .value(0));
    ASSERT_EQ(asked.size(), kRows);
    EXPECT_FALSE(asked.front().properties.value(iconData).toByteArray().isEmpty());
    EXPECT_FALSE(asked.back().properties.contains(iconData));
    // The connection held: the last row is chosen as any other.
    EXPECT_EQ(event(layout.children.back().id, QStringLiteral("clicked")).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(processEventsUntil([&] { return lastRuns == 1; }));
    ASSERT_TRUE(m_server.isConnected());

    // Labels alone past what a message holds: the rows that do not fit are left out, the rest answered.
    auto wordy = std::make_shared<Menu>();
    // Three bytes each in UTF-8.
    const QString longName(100000, QChar(0x20AC));
    for (int index = 0; index < 200; ++index)
        item(*wordy, longName);
    m_exporter.reset();
    exportMenu(wordy);
    // Asked in-process: what a message would carry, without carrying it.
    DBusMenuLayoutItem bounded;
    m_exporter->GetLayout(0, -1, {}, bounded);
    ASSERT_GT(bounded.children.size(), 100);
    EXPECT_LT(bounded.children.size(), 200);
    EXPECT_EQ(bounded.children.back().properties.value(QStringLiteral("label")), longName);
}

// A long layout is written while the event loop goes on; a host must not hear of a change before the
// layout it applies to, or it would apply it and then show the older rows.
TEST_F(DBusMenuExporterTest, AChangeMadeWhileALongLayoutIsWrittenIsAnnouncedAfterIt) {
    const QImage noise = noisePicture();
    auto root = std::make_shared<Menu>();
    std::vector<std::shared_ptr<MenuItem>> pictures;
    for (int index = 0; index < 300; ++index) {
        pictures.push_back(item(*root, QStringLiteral("Picture %1").arg(index)));
        pictures.back()->setImage(noise);
    }
    m_exporter = std::make_unique<DBusMenuExporter>(m_server, kPath, [&] {
        // Made as the host's reading begins; changed on the next turn.
        QTimer::singleShot(0, [&] {
            pictures.front()->setState(MenuItem::State::on);
            root->menuNeedsUpdate();
        });
        return root;
    });
    SignalRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(listen(recorder));
    QDBusMessage message = QDBusMessage::createMethodCall(m_server.baseService(), kPath, kInterface,
                                                          QStringLiteral("GetLayout"));
    message.setArguments({0, -1, QStringList()});
    const QDBusPendingCall pending = m_client.asyncCall(message, 60000);
    bool isAnsweredFirst = false;
    recorder.heard = [&] { isAnsweredFirst = pending.isFinished(); };

    ASSERT_TRUE(
        processEventsUntil([&] { return pending.isFinished() && !recorder.updatedProperties.isEmpty(); },
                           std::chrono::seconds(60)));
    EXPECT_TRUE(isAnsweredFirst);
    const auto layout = qdbus_cast<DBusMenuLayoutItem>(pending.reply().arguments().value(1));
    ASSERT_EQ(layout.children.size(), 300);
    EXPECT_EQ(recorder.updatedProperties.front().id, layout.children.front().id);
    EXPECT_EQ(recorder.updatedProperties.front().properties.value(QStringLiteral("toggle-state")), 1);
}

TEST_F(DBusMenuExporterTest, ProgramsThatReadALongMenuBeforeAChangeIsToldHearOfItAfterAnotherReadIt) {
    auto root = std::make_shared<Menu>();
    for (std::size_t row = 0; row < kLongListing; ++row)
        item(*root, QStringLiteral("row %1").arg(row));
    exportMenu(root);
    SignalRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(listen(recorder));
    const auto before = getLayout().second;
    ASSERT_EQ(std::size_t(before.children.size()), kLongListing);

    // Renamed, and read by another program before the change is told: that one has the new name, and
    // those that had the old rows are told, by the rows or by a new layout.
    root->items().front()->setTitle(QStringLiteral("renamed"));
    root->menuNeedsUpdate();
    QDBusMessage read = QDBusMessage::createMethodCall(m_server.baseService(), kPath, kInterface,
                                                       QStringLiteral("GetLayout"));
    read.setArguments({0, -1, QStringList()});
    const QDBusPendingCall layout = m_client.asyncCall(read, int(m_callTimeout.count()));
    const auto isTold = [&] {
        return !recorder.layoutUpdates.empty() ||
               std::any_of(recorder.updatedProperties.begin(), recorder.updatedProperties.end(),
                           [&](const auto &row) { return row.id == before.children[0].id; });
    };
    ASSERT_TRUE(processEventsUntil([&] { return layout.isFinished() && isTold(); }, m_callTimeout));
    const auto readAfter = qdbus_cast<DBusMenuLayoutItem>(layout.reply().arguments().value(1));
    EXPECT_EQ(labels(readAfter).value(0), QStringLiteral("renamed"));
    const auto now = getLayout().second;
    EXPECT_EQ(now.children[0].id, before.children[0].id);
    EXPECT_EQ(labels(now), labels(readAfter));
}

TEST_F(DBusMenuExporterTest, GdbusReadsTheLayoutAsARealClient) {
    const QString gdbus = QStandardPaths::findExecutable(QStringLiteral("gdbus"));
    if (gdbus.isEmpty())
        GTEST_SKIP() << "gdbus (libglib2.0-bin) is not installed";
    auto root = std::make_shared<Menu>();
    item(*root, QStringLiteral("Copy"), [] {});
    auto copyPath = item(*root, QStringLiteral("Copy Path"), [] {});
    copyPath->setAlternate(true);
    copyPath->setKeyEquivalentModifierMask(Modifier::option);
    item(*root, QStringLiteral("read_me"));
    exportMenu(root);

    QProcess client;
    client.start(gdbus,
                 {QStringLiteral("call"), QStringLiteral("--address"), m_bus.address(),
                  QStringLiteral("--dest"), m_server.baseService(), QStringLiteral("--object-path"), kPath,
                  QStringLiteral("--method"), kInterface + QStringLiteral(".GetLayout"), QStringLiteral("--"),
                  QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("[]")});
    ASSERT_TRUE(processEventsUntil([&] { return client.state() == QProcess::NotRunning; }));
    const QString output = QString::fromUtf8(client.readAllStandardOutput());
    EXPECT_EQ(client.exitCode(), 0) << client.readAllStandardError().toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("'label': <'Copy'>"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("'label': <'Copy Path'>"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("'label': <'read__me'>"))) << output.toStdString();

    // Hosts bind to the interface as introspected: the shapes must be the protocol's.
    QProcess introspect;
    introspect.start(gdbus, {QStringLiteral("introspect"), QStringLiteral("--address"), m_bus.address(),
                             QStringLiteral("--dest"), m_server.baseService(),
                             QStringLiteral("--object-path"), kPath});
    ASSERT_TRUE(processEventsUntil([&] { return introspect.state() == QProcess::NotRunning; }));
    const QString interface = QString::fromUtf8(introspect.readAllStandardOutput()).simplified();
    for (const char *expected :
         {"GetLayout(in i parentId, in i recursionDepth, in as propertyNames, out u", "out (ia{sv}av) layout",
          "GetGroupProperties(in ai ids, in as propertyNames, out a(ia{sv})", "EventGroup(in a(isvu) events",
          "AboutToShow(in i id, out b", "LayoutUpdated(u revision, i parent)",
          "ItemsPropertiesUpdated(a(ia{sv}) updated, a(ias) removed)", "readonly u Version"})
        EXPECT_TRUE(interface.contains(QLatin1String(expected))) << expected << "\n"
                                                                 << interface.toStdString();
    EXPECT_FALSE(interface.contains(QLatin1String("objectName"))) << interface.toStdString();
}

} // namespace

#include "DBusMenuExporterTest.moc"

#include "menubar/FileDetails.h"
#include "menubar/FileInfoText.h"
#include "menubar/views/FileInfoViews.h"

#include "foundation/text/Formatters.h"
#include "menubar/views/FileRows.h"

#include "platform/menus/Menu.h"
#include "platform/desktop/menus/DBusMenuExporter.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/PrivateSessionBus.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <map>

namespace kestrova {
namespace {

using testing::processEventsUntil;

platform::Date dateAt(const QDateTime &dateTime) {
    return platform::Date::fromDateTime(dateTime);
}

TEST(FileInfoViewsTest, FirstRowJoinsKindSizeAndDimensions) {
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    ByteCountFormatOptions options;
    options.locale = locale;

    FileFacts folder;
    folder.kindDescription = QStringLiteral("Folder");
    EXPECT_EQ(fileInfo1Text(folder, locale), QStringLiteral("Folder  —  ") + formattedByteCount(0, options));

    FileFacts text;
    text.kindDescription = QStringLiteral("Plain text document");
    text.fileSize = 1500;
    EXPECT_EQ(fileInfo1Text(text, locale), QStringLiteral("Plain text document  —  2 KB"));

    FileFacts picture = text;
    picture.kindDescription = QStringLiteral("PNG image");
    picture.dimensions = QSize(640, 480);
    EXPECT_EQ(fileInfo1Text(picture, locale), QStringLiteral("PNG image  —  2 KB  —  640×480"));
}

TEST(FileInfoViewsTest, DateRowsSayNeverForAnUnchangedFileAndNameRecentDays) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDateTime now = QDateTime::currentDateTime();
    FileFacts facts;
    facts.creationDate = platform::Date(700000000.2);
    facts.modificationDate = platform::Date(700000000.4);
    facts.accessDate = dateAt(now);
    auto rows = fileInfo2Rows(facts, english);
    ASSERT_EQ(rows.size(), 4U);
    EXPECT_EQ(rows[0].label, QStringLiteral("Opened"));
    EXPECT_EQ(rows[2], (FileInfo2Row{QStringLiteral("Modified"), QStringLiteral("Never")}));
    EXPECT_TRUE(rows[0].value.startsWith(QStringLiteral("Today"))) << rows[0].value.toStdString();
    // Unknown dates are said to be unknown, not "now".
    EXPECT_EQ(rows[1].value, QStringLiteral("—"));

    facts.modificationDate = facts.creationDate->addingTimeInterval(1);
    rows = fileInfo2Rows(facts, english);
    EXPECT_EQ(rows[2].value, formattedFileDate(*facts.modificationDate, english));
    EXPECT_NE(rows[2].value, QStringLiteral("Never"));

    facts = {};
    EXPECT_EQ(fileInfo2Rows(facts, english)[2].value, QStringLiteral("Never"));

    const platform::Date yesterday = dateAt(now.addDays(-1));
    EXPECT_TRUE(formattedFileDate(yesterday, english).startsWith(QStringLiteral("Yesterday")));
    // Capitalised to begin a sentence, in the locale's words.
    EXPECT_TRUE(formattedFileDate(yesterday, QLocale(QLocale::German, QLocale::Germany))
                    .startsWith(QStringLiteral("Gestern")));
    const platform::Date longAgo = dateAt(QDateTime(QDate(2001, 3, 4), QTime(10, 30)));
    EXPECT_TRUE(formattedFileDate(longAgo, english).contains(QStringLiteral("March 4, 2001")))
        << formattedFileDate(longAgo, english).toStdString();
}

TEST(FileInfoViewsTest, RowsFillInWhenTheFileHasBeenRead) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("photo.png"));
    QImage photo(64, 32, QImage::Format_RGB32);
    photo.fill(Qt::green);
    ASSERT_TRUE(photo.save(path));

    const auto details = FileDetails::load(QUrl::fromLocalFile(path));
    FileInfo1 info1(details);
    FileInfo2 info2(details);
    ASSERT_TRUE(processEventsUntil([&] { return details->isFinished(); }));
    EXPECT_FALSE(details->didTimeOut());
    EXPECT_TRUE(info1.text().startsWith(QStringLiteral("PNG image  —  "))) << info1.text().toStdString();
    EXPECT_TRUE(info1.text().endsWith(QStringLiteral("  —  64×32"))) << info1.text().toStdString();
    EXPECT_EQ(info2.valueText(QStringLiteral("Modified")), fileInfo2Rows(*details->facts())[2].value);
    EXPECT_FALSE(info2.valueText(QStringLiteral("Opened")).isEmpty());

    // A folder has a kind but no size.
    const FileFacts facts = readFileFacts(QUrl::fromLocalFile(folder.path()));
    EXPECT_EQ(facts.kindDescription, QStringLiteral("Folder"));
    EXPECT_FALSE(facts.fileSize);
}

// What a host that draws the menu itself hears of the exported rows.
class ExportedRowsRecorder : public QObject {
    Q_OBJECT

public:
    std::map<int, QVariantMap> updated;
    int layoutUpdates = 0;

public Q_SLOTS:
    void layoutUpdated() { ++layoutUpdates; }
    void itemsPropertiesUpdated(const QDBusMessage &message) {
        for (const auto &row :
             qdbus_cast<platform::desktop::DBusMenuItemPropertiesList>(message.arguments().value(0)))
            updated[row.id] = row.properties;
    }
};

// Holds the reading of a file on its worker thread until the test lets it go, so that the host surely
// reads the rows before the details arrive.
class ReadingGate {
public:
    ReadingGate()
        : m_opened(m_open.get_future().share()) {}
    ~ReadingGate() { open(); }
    void open() {
        if (!m_isOpen)
            m_open.set_value();
        m_isOpen = true;
    }
    FileDetails::Reader reader() const {
        return {.facts =
                    [opened = m_opened](const QUrl &url) {
                        opened.wait();
                        return readFileFacts(url);
                    },
                .preview = readFilePreview};
    }

private:
    std::promise<void> m_open;
    std::shared_future<void> m_opened;
    bool m_isOpen = false;
};

TEST(FileInfoViewsTest, AMenuDrawnByTheHostShowsTheFilesRealDetailsOnceRead) {
    kestrova::testing::PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    platform::desktop::registerDBusMenuTypes();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("photo.png"));
    QImage photo(300, 200, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    ASSERT_TRUE(photo.save(path));

    ReadingGate gate;
    const auto details = FileDetails::load(QUrl::fromLocalFile(path), std::chrono::minutes(1), gate.reader());
    auto menu = std::make_shared<platform::Menu>();
    setPreviewRowView(*menu->addItem(std::make_shared<platform::MenuItem>()), details, std::nullopt);
    setFileInfo1View(*menu->addItem(std::make_shared<platform::MenuItem>()), details);
    setFileInfo2View(*menu->addItem(std::make_shared<platform::MenuItem>()), details);

    auto server = QDBusConnection::connectToBus(bus.address(), QStringLiteral("application"));
    auto host = QDBusConnection::connectToBus(bus.address(), QStringLiteral("host"));
    {
        platform::desktop::DBusMenuExporter exporter(server, QStringLiteral("/MenuBar"), menu);
        ASSERT_TRUE(exporter.isRegistered());
        ExportedRowsRecorder recorder;
        ASSERT_TRUE(host.connect(
            server.baseService(), QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"),
            QStringLiteral("ItemsPropertiesUpdated"), &recorder, SLOT(itemsPropertiesUpdated(QDBusMessage))));
        ASSERT_TRUE(host.connect(server.baseService(), QStringLiteral("/MenuBar"),
                                 QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("LayoutUpdated"),
                                 &recorder, SLOT(layoutUpdated())));
        const auto readLayout = [&] {
            QDBusMessage call = QDBusMessage::createMethodCall(
                server.baseService(), QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"),
                QStringLiteral("GetLayout"));
            call.setArguments({0, -1, QStringList()});
            QDBusPendingCall pending = host.asyncCall(call);
            EXPECT_TRUE(processEventsUntil([&] { return pending.isFinished(); }));
            return qdbus_cast<platform::desktop::DBusMenuLayoutItem>(pending.reply().arguments().value(1));
        };

        // Before the file was read no row shows a name in place of what it would say.
        const auto before = readLayout();
        ASSERT_EQ(before.children.size(), 3);
        for (const auto &row : before.children)
            EXPECT_FALSE(row.properties.value(QStringLiteral("visible"), true).toBool());

        // Once read, the rows the host shows are told of: the dates come one a row, so as a new layout.
        gate.open();
        ASSERT_TRUE(processEventsUntil([&] { return details->isFinished() && recorder.layoutUpdates > 0; }));
        ASSERT_TRUE(details->facts());
        const auto after = readLayout();
        ASSERT_EQ(after.children.size(), 6);
        QStringList labels;
        for (const auto &row : after.children) {
            EXPECT_TRUE(row.properties.value(QStringLiteral("visible"), true).toBool());
            labels << row.properties.value(QStringLiteral("label")).toString();
        }
        const QString kindAndSize = labels[1];
        EXPECT_TRUE(kindAndSize.contains(formattedByteCount(QFileInfo(path).size())))
            << qPrintable(kindAndSize);
        EXPECT_TRUE(kindAndSize.endsWith(QStringLiteral("  —  300×200"))) << qPrintable(kindAndSize);
        EXPECT_EQ(labels[4], QStringLiteral("Modified: ") + fileInfo2Rows(*details->facts())[2].value);
        EXPECT_EQ(labels[5], QStringLiteral("Created: ") + fileInfo2Rows(*details->facts())[3].value);
        // The thumbnail is the preview row's picture.
        const QImage icon =
            QImage::fromData(after.children[0].properties.value(QStringLiteral("icon-data")).toByteArray());
        EXPECT_FALSE(icon.isNull());
        EXPECT_EQ(icon.pixelColor(icon.width() / 2, icon.height() / 2), QColor(Qt::darkCyan));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("application"));
    QDBusConnection::disconnectFromBus(QStringLiteral("host"));
}

TEST(FileInfoViewsTest, DragStartsOncePerPressPastTheDragDistance) {
    DragStartTracker tracker;
    const int distance = QApplication::startDragDistance();
    EXPECT_FALSE(tracker.shouldStartDrag(QPoint(50, 50), Qt::LeftButton));
    tracker.press(QPoint(10, 10));
    EXPECT_FALSE(tracker.shouldStartDrag(QPoint(10 + distance - 1, 10), Qt::LeftButton));
    EXPECT_FALSE(tracker.shouldStartDrag(QPoint(10 + distance, 10), Qt::NoButton));
    EXPECT_TRUE(tracker.shouldStartDrag(QPoint(10 + distance, 10), Qt::LeftButton));
    EXPECT_FALSE(tracker.shouldStartDrag(QPoint(20 + distance, 10), Qt::LeftButton));
    tracker.press(QPoint(0, 0));
    tracker.release();
    EXPECT_FALSE(tracker.shouldStartDrag(QPoint(100, 100), Qt::LeftButton));
}

} // namespace
} // namespace kestrova

#include "FileInfoViewsTest.moc"

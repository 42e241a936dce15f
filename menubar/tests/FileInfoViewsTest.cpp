#include "menubar/FileDetails.h"
#include "menubar/FileInfoText.h"
#include "menubar/views/FileInfoViews.h"

#include "foundation/Formatters.h"
#include "platform/testing/EventLoop.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

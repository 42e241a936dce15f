#include "FolderMenuTesting_p.h"

#include "menubar/FileActions.h"
#include "menubar/FileDetails.h"
#include "menubar/views/PreviewScreen.h"

#include "foundation/app/KvApp.h"
#include "foundation/media/DesktopThumbnailer.h"
#include "foundation/media/Thumbnail.h"
#include "platform/menus/Menu.h"
#include "platform/workspace/Pasteboard.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/InMemoryPasteboard.h"
#include "platform/testing/TestMedia.h"
#include "ui-kit/views/HostingView.h"

#include <QApplication>
#include <QBuffer>
#include <QCryptographicHash>
#include <QFontMetricsF>
#include <QImageReader>
#include <QMenu>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWidgetAction>

#include <cmath>
#include <future>
#include <limits>

#include <sys/stat.h>

namespace kestrova::testing {
namespace {

QString writePicture(const QString &path, QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(QColor(30, 120, 200));
    EXPECT_TRUE(picture.save(path));
    return path;
}

QString writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

std::shared_ptr<FileDetails> loaded(const QString &path) {
    auto details = FileDetails::load(QUrl::fromLocalFile(path));
    EXPECT_TRUE(processEventsUntil([&] { return details->isFinished(); }));
    EXPECT_FALSE(details->didTimeOut());
    return details;
}

TEST(FilePreviewTest, PicturesFollowTheTypeAndHeightsNeverDivideByZero) {
    EXPECT_TRUE(shouldUseImage(QStringLiteral("image/png"), QStringLiteral("png")));
    EXPECT_TRUE(shouldUseImage(QStringLiteral("video/mp4"), QStringLiteral("mp4")));
    EXPECT_TRUE(shouldUseImage(QStringLiteral("audio/ogg"), QStringLiteral("ogg")));
    EXPECT_TRUE(shouldUseImage(QStringLiteral("application/zip"), QStringLiteral("zip")));
    EXPECT_TRUE(shouldUseImage(QStringLiteral("application/x-executable"), QString()));
    EXPECT_FALSE(shouldUseImage(QStringLiteral("video/mp2t"), QStringLiteral("ts")));
    EXPECT_FALSE(shouldUseImage(QStringLiteral("text/plain"), QStringLiteral("txt")));
    EXPECT_FALSE(shouldUseImage(QStringLiteral("application/pdf"), QStringLiteral("pdf")));

    const QFont font = QApplication::font();
    QFont small = font;
    small.setPointSizeF(10);
    const double oneLine =
        std::ceil(QFontMetricsF(small)
                      .boundingRect(QRectF(0, 0, 400, 1e6), Qt::TextWordWrap, QStringLiteral("hello"))
                      .height());
    EXPECT_EQ(previewHeight(QStringLiteral("hello"), 6, std::nullopt, font), oneLine + 40);
    const QString longText = QString(1999, QLatin1Char('x')).replace(QLatin1Char('x'), QStringLiteral("x\n"));
    EXPECT_EQ(previewHeight(longText, 1999, std::nullopt, font), 400);
    EXPECT_EQ(previewHeight(QStringLiteral("hello"), 2000, 2.0, font), 200);
    EXPECT_EQ(previewHeight(QStringLiteral("hello"), 2000, std::nullopt, font), 400);
    EXPECT_EQ(previewHeight(std::nullopt, 10, 0.5, font), 400);
    for (const double broken :
         {0.0, -1.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(previewHeight(std::nullopt, 10, broken, font), 400) << broken;
}

TEST(FilePreviewTest, ThumbnailsAreMadeOnceAndStoredInTheSharedCache) {
    QTemporaryDir folder;
    const QString path = writePicture(folder.filePath(QStringLiteral("wide.png")), QSize(1600, 800));
    const QUrl url = QUrl::fromLocalFile(path);
    const auto details = loaded(path);
    ASSERT_TRUE(details->preview());
    const FilePreviewContent &preview = *details->preview();
    EXPECT_EQ(preview.kind, FilePreviewContent::Kind::picture);
    EXPECT_TRUE(preview.shouldUseImage);
    const QSize fitting = QSize(400, 400) * qApp->devicePixelRatio();
    EXPECT_EQ(preview.thumbnail.size(), QSize(fitting.width(), fitting.width() / 2));
    EXPECT_EQ(details->facts()->dimensions, QSize(1600, 800));

    // Stored as the desktop's cache expects it: x-large, private, with the file's URI and time.
    const QString cached =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
        QStringLiteral("/thumbnails/x-large/") +
        QString::fromLatin1(QCryptographicHash::hash(url.toEncoded(), QCryptographicHash::Md5).toHex()) +
        QStringLiteral(".png");
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(cached).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600U);
    const QImage stored(cached);
    EXPECT_EQ(stored.size(), QSize(512, 256));
    EXPECT_EQ(stored.text(QStringLiteral("Thumb::URI")), QString::fromLatin1(url.toEncoded()));
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(stored.text(QStringLiteral("Thumb::MTime")), QString::number(status.st_mtim.tv_sec));
    EXPECT_TRUE(url::cachedThumbnail(url, QSize(400, 400)));
    EXPECT_EQ(QDir(QFileInfo(cached).path()).entryList(QDir::Files).filter(QStringLiteral(".tmp")).size(), 0);
}

TEST(FilePreviewTest, TextEmptyHugeCorruptAndSpecialFiles) {
    QTemporaryDir folder;
    const auto text = loaded(writeFile(folder.filePath(QStringLiteral("note.txt")), "Grüße\nzwei Zeilen\n"));
    EXPECT_EQ(text->preview()->kind, FilePreviewContent::Kind::text);
    EXPECT_EQ(text->preview()->text, QStringLiteral("Grüße\nzwei Zeilen\n"));
    EXPECT_FALSE(text->preview()->shouldUseImage);
    EXPECT_FALSE(text->facts()->dimensions);

    const auto empty = loaded(writeFile(folder.filePath(QStringLiteral("empty.png")), {}));
    EXPECT_EQ(empty->preview()->kind, FilePreviewContent::Kind::dragHandle);

    // Not text after all: the drag handle rather than garbage.
    const auto binary =
        loaded(writeFile(folder.filePath(QStringLiteral("data.txt")), QByteArray("caf\xc3\x28 \xff\xfe")));
    EXPECT_EQ(binary->preview()->kind, FilePreviewContent::Kind::dragHandle);
    const auto large = loaded(writeFile(folder.filePath(QStringLiteral("long.txt")), QByteArray(5000, 'a')));
    EXPECT_EQ(large->preview()->kind, FilePreviewContent::Kind::dragHandle);

    // A header that claims 60000 × 60000 pixels: its size is told, but it is never decoded.
    const auto huge =
        loaded(writeFile(folder.filePath(QStringLiteral("huge.png")), pngClaiming(60000, 60000)));
    EXPECT_EQ(huge->facts()->dimensions, QSize(60000, 60000));
    EXPECT_EQ(huge->preview()->kind, FilePreviewContent::Kind::dragHandle);
    const auto zero = loaded(writeFile(folder.filePath(QStringLiteral("zero.png")), pngClaiming(100, 0)));
    EXPECT_FALSE(zero->facts()->dimensions);
    const auto corrupt = loaded(
        writeFile(folder.filePath(QStringLiteral("corrupt.png")), QByteArray("\x89PNG\r\n\x1a\nnonsense")));
    EXPECT_EQ(corrupt->preview()->kind, FilePreviewContent::Kind::dragHandle);

    // A FIFO named like a picture is never opened: reading it would block for good.
    const QString fifo = folder.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const auto special = loaded(fifo);
    EXPECT_EQ(special->preview()->kind, FilePreviewContent::Kind::dragHandle);
    EXPECT_FALSE(special->facts()->dimensions);
    EXPECT_FALSE(special->facts()->fileSize);
}

TEST(FilePreviewTest, AStalledReadGivesUpAfterTheTimeLimitWithoutBlocking) {
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    auto finished = std::make_shared<std::promise<void>>();
    std::future<void> workerDone = finished->get_future();
    FileDetails::Reader reader;
    reader.facts = [released](const QUrl &) {
        released.wait();
        FileFacts facts;
        facts.kindDescription = QStringLiteral("late");
        return facts;
    };
    reader.preview = [finished](const QUrl &, FileFacts &, FilePreviewContent &preview, QSize) {
        preview.kind = FilePreviewContent::Kind::text;
        finished->set_value();
    };
    const auto details = FileDetails::load(QUrl::fromLocalFile(QStringLiteral("/stalled/mount/movie.mp4")),
                                           std::chrono::milliseconds(50), reader);
    EXPECT_FALSE(details->isFinished());
    ASSERT_TRUE(processEventsUntil([&] { return details->isFinished(); }));
    EXPECT_TRUE(details->didTimeOut());
    EXPECT_EQ(details->preview()->kind, FilePreviewContent::Kind::dragHandle);
    FilePreviewRow row(details, std::nullopt);
    EXPECT_NE(qobject_cast<DragMeView *>(row.currentView()), nullptr);

    // The late answer changes nothing.
    release->set_value();
    workerDone.wait();
    QCoreApplication::processEvents();
    EXPECT_FALSE(details->facts());
    EXPECT_EQ(details->preview()->kind, FilePreviewContent::Kind::dragHandle);
}

class FilePreviewMenuTest : public FolderMenuFixture {
protected:
    QMenu *open(const std::shared_ptr<platform::Menu> &menu) {
        presenter.setModifierSource([] { return Qt::KeyboardModifiers(); });
        QMenu *shown = presenter.popup(menu, QPoint(20, 20));
        EXPECT_TRUE(processEventsUntil([shown] { return shown->isVisible(); }));
        return shown;
    }
    FilePreviewRow *previewRow(QMenu *shown) {
        for (QAction *action : shown->actions()) {
            auto *widgetAction = qobject_cast<QWidgetAction *>(action);
            auto *view = widgetAction ? qobject_cast<HostingView *>(widgetAction->defaultWidget()) : nullptr;
            if (auto *row = view ? qobject_cast<FilePreviewRow *>(view->content()) : nullptr)
                return row;
        }
        ADD_FAILURE() << "no preview row";
        return nullptr;
    }
    std::shared_ptr<platform::MenuItem> item(platform::Menu &menu, const QString &title) {
        for (const auto &candidate : menu.items()) {
            if (candidate->title() == title)
                return candidate;
        }
        return nullptr;
    }

    // What choosing `copy` puts on the clipboard as text; the clipboard must then hold that one item,
    // marked as ours.
    QString copiedText(platform::MenuItem &copy) {
        EXPECT_TRUE(copy.performAction());
        const auto copied = pasteboard.pasteboard().pasteboardItems();
        EXPECT_EQ(copied.size(), 1U);
        if (copied.size() != 1)
            return {};
        EXPECT_EQ(copied[0].string(QString::fromLatin1(platform::PasteboardType::source)), KvApp::id());
        return copied[0].string(QString::fromLatin1(platform::PasteboardType::string));
    }

    platform::desktop::MenuPresenter presenter;
    ScopedInMemoryPasteboard pasteboard;
};

TEST_F(FilePreviewMenuTest, APictureShowsItsPreviewAndOffersItsDimensions) {
    writePicture(path(QStringLiteral("landscape.png")), QSize(800, 400));
    auto menu = fileSubmenu(url(QStringLiteral("landscape.png")), controller);
    QMenu *shown = open(menu);
    FilePreviewRow *row = previewRow(shown);
    ASSERT_NE(row, nullptr);
    ASSERT_TRUE(processEventsUntil([row] { return qobject_cast<PreviewScreen *>(row->currentView()); }));
    EXPECT_EQ(qobject_cast<PreviewScreen *>(row->currentView())->boxSize(), QSize(400, 200));

    const auto copy = item(*menu, QStringLiteral("Copy Dimensions"));
    ASSERT_TRUE(copy);
    ASSERT_TRUE(processEventsUntil([copy] { return !copy->isHidden(); }));
    bool offered = false;
    for (const auto &shownItem : menu->displayedItems(platform::Modifier::option))
        offered = offered || shownItem == copy;
    EXPECT_TRUE(offered);
    presenter.close();
    EXPECT_EQ(copiedText(*copy), QStringLiteral("800×400"));
}

// A portrait recording (stored 320 × 160, turned a quarter): its size is the one it is shown at, and its
// preview is the frame the desktop's movie thumbnailer made.
TEST_F(FilePreviewMenuTest, AMovieShowsItsFrameAndOffersTheSizeItIsShownAt) {
    ASSERT_TRUE(writeTestMovie(path(QStringLiteral("turned.mp4")),
                               {.size = QSize(320, 160), .frameCount = 25, .rotationDegrees = 90}));
    auto menu = fileSubmenu(url(QStringLiteral("turned.mp4")), controller);
    QMenu *shown = open(menu);
    const auto copy = item(*menu, QStringLiteral("Copy Dimensions"));
    ASSERT_TRUE(copy);
    // The first movie loads the video libraries before it is read: on a loaded machine, under the
    // sanitizers, that has taken longer than the usual wait.
    ASSERT_TRUE(processEventsUntil([copy] { return !copy->isHidden(); }, std::chrono::seconds(30)));
    FilePreviewRow *row = previewRow(shown);
    ASSERT_NE(row, nullptr);
    if (DesktopThumbnailer::forContentType(QStringLiteral("video/mp4"))) {
        ASSERT_TRUE(processEventsUntil([row] { return qobject_cast<PreviewScreen *>(row->currentView()); },
                                       std::chrono::seconds(30)));
        // As tall as the box allows, half as wide.
        EXPECT_EQ(qobject_cast<PreviewScreen *>(row->currentView())->boxSize(), QSize(400, 400));
    }
    presenter.close();
    EXPECT_EQ(copiedText(*copy), QStringLiteral("160×320"));
}

TEST_F(FilePreviewMenuTest, ATextFileIsShownAsTextAndHasNoDimensions) {
    writeFile(path(QStringLiteral("note.txt")), "one line");
    auto menu = fileSubmenu(url(QStringLiteral("note.txt")), controller);
    QMenu *shown = open(menu);
    FilePreviewRow *row = previewRow(shown);
    ASSERT_NE(row, nullptr);
    ASSERT_TRUE(processEventsUntil([row] { return qobject_cast<PreviewScreen *>(row->currentView()); }));
    const QSize box = qobject_cast<PreviewScreen *>(row->currentView())->boxSize();
    EXPECT_EQ(box.width(), 400);
    EXPECT_EQ(box.height(), int(previewHeight(QStringLiteral("one line"), 8, std::nullopt, row->font())));
    EXPECT_TRUE(item(*menu, QStringLiteral("Copy Dimensions"))->isHidden());
    presenter.close();
}

// A picture's submenu opened from a row low on the screen: it fits there with the small row it has before
// the preview is read, and must still fit once the preview has made it taller. With more rows than the
// screen has room for beside a full preview (a small screen), the preview gives way to the rows.
TEST_F(FilePreviewMenuTest, AFileSubmenuStaysOnScreenWhenItsPreviewArrives) {
    writePicture(path(QStringLiteral("portrait.png")), QSize(400, 800));
    auto root = std::make_shared<platform::Menu>();
    auto row = std::make_shared<platform::MenuItem>(QStringLiteral("portrait.png"));
    auto submenuModel = fileSubmenu(url(QStringLiteral("portrait.png")), controller);
    for (int extra = 0; extra < 16; ++extra)
        submenuModel->addItem(std::make_shared<platform::MenuItem>(QStringLiteral("Row %1").arg(extra)));
    row->setSubmenu(submenuModel);
    root->addItem(row);
    presenter.setModifierSource([] { return Qt::KeyboardModifiers(); });
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QMenu *shown = presenter.popup(root, QPoint(area.left() + 20, area.bottom() - 260));
    ASSERT_TRUE(processEventsUntil([shown] { return shown->isVisible(); }));
    QAction *holder = shown->actions().front();
    shown->setActiveAction(holder);
    QTest::keyClick(shown, Qt::Key_Right);
    ASSERT_TRUE(processEventsUntil([holder] { return holder->menu() && holder->menu()->isVisible(); }));
    QMenu *submenu = holder->menu();
    FilePreviewRow *preview = previewRow(submenu);
    ASSERT_NE(preview, nullptr);
    const int before = submenu->height();
    ASSERT_TRUE(
        processEventsUntil([preview] { return qobject_cast<PreviewScreen *>(preview->currentView()); }));
    ASSERT_TRUE(processEventsUntil([&] { return submenu->height() > before + 80; }))
        << "the preview makes the submenu taller: " << before << " → " << submenu->height();
    const QSize box = qobject_cast<PreviewScreen *>(preview->currentView())->boxSize();
    EXPECT_LT(box.height(), 400) << "a full preview leaves no room for the rows here";
    EXPECT_GE(box.height(), 80);
    EXPECT_TRUE(processEventsUntil([&] { return area.contains(submenu->geometry()); }))
        << "submenu at " << submenu->geometry().top() << "-" << submenu->geometry().bottom() << ", screen to "
        << area.bottom();
    // Its last rows can be reached.
    const QRect lastRow = submenu->actionGeometry(submenu->actions().back());
    EXPECT_TRUE(area.contains(submenu->mapToGlobal(lastRow.bottomRight())));
    presenter.close();
}

} // namespace
} // namespace kestrova::testing

#include "foundation/media/ContainedImageReader.h"
#include "foundation/files/FileUrl.h"
#include "foundation/media/MediaDimensions.h"
#include "foundation/media/Thumbnail.h"
#include "platform/testing/TemporaryHome.h"
#include "platform/testing/TestMedia.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace kestrova;

TEST(ThumbnailTest, ScalesImagesAndPrefersAFreshCachedThumbnail) {
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/photo.png");
    QImage photo(400, 200, QImage::Format_RGB32);
    photo.fill(Qt::red);
    ASSERT_TRUE(photo.save(path));
    const QUrl url = QUrl::fromLocalFile(path);

    auto thumbnail = url::quickLookThumbnail(url, QSizeF(64, 64), 2.0, /*asIcon=*/false);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->size(), QSize(128, 64));
    EXPECT_EQ(thumbnail->devicePixelRatio(), 2.0);
    EXPECT_EQ(thumbnail->pixelColor(64, 32), QColor(Qt::red));

    // A cached thumbnail made from this very version of the file wins; a stale one is ignored.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QStringLiteral("/thumbnails/normal/");
    QDir().mkpath(cache);
    const QString cached =
        cache +
        QString::fromLatin1(QCryptographicHash::hash(url.toEncoded(), QCryptographicHash::Md5).toHex()) +
        QStringLiteral(".png");
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    QImage blue(128, 64, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    blue.setText(QStringLiteral("Thumb::MTime"), QString::number(status.st_mtim.tv_sec - 10));
    ASSERT_TRUE(blue.save(cached));
    EXPECT_EQ(url::quickLookThumbnail(url, QSizeF(64, 64), 1.0, false)->pixelColor(10, 10), QColor(Qt::red));
    blue.setText(QStringLiteral("Thumb::MTime"), QString::number(status.st_mtim.tv_sec));
    ASSERT_TRUE(blue.save(cached));
    EXPECT_EQ(url::quickLookThumbnail(url, QSizeF(64, 64), 1.0, false)->pixelColor(10, 10), QColor(Qt::blue));

    // The icon form is framed.
    const auto icon = url::quickLookThumbnail(url, QSizeF(64, 64), 1.0, /*asIcon=*/true);
    ASSERT_TRUE(icon);
    EXPECT_NE(icon->pixelColor(0, 0), QColor(Qt::blue));
}

TEST(ThumbnailTest, FoldersOtherFilesAndFifosHaveNone) {
    QTemporaryDir folder;
    EXPECT_FALSE(url::quickLookThumbnail(QUrl::fromLocalFile(folder.path()), QSizeF(64, 64), 1, false));
    const QString text = folder.path() + QStringLiteral("/notes.txt");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("plain text");
    file.close();
    EXPECT_FALSE(url::quickLookThumbnail(QUrl::fromLocalFile(text), QSizeF(64, 64), 1, false));
    // A FIFO named like an image must not block the reader.
    const QString fifo = folder.path() + QStringLiteral("/x.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(url::quickLookThumbnail(QUrl::fromLocalFile(fifo), QSizeF(64, 64), 1, false));
    EXPECT_FALSE(url::quickLookThumbnail(QUrl::fromLocalFile(text), QSizeF(0, 0), 1, false));
}

TEST(ThumbnailTest, StoredThumbnailsAreFoundUntilTheFileChanges) {
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/notes.pdf");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("%PDF-1.4");
    file.close();
    const QUrl url = QUrl::fromLocalFile(path);
    EXPECT_FALSE(url::cachedThumbnail(url, QSize(400, 400)));

    QImage page(200, 300, QImage::Format_RGB32);
    page.fill(Qt::white);
    ASSERT_TRUE(url::storeThumbnail(url, page));
    // 300 pixels high: the folder of thumbnails up to 512 pixels.
    const QString stored =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
        QStringLiteral("/thumbnails/x-large/") +
        QString::fromLatin1(QCryptographicHash::hash(url.toEncoded(), QCryptographicHash::Md5).toHex()) +
        QStringLiteral(".png");
    EXPECT_TRUE(QFileInfo::exists(stored));
    const auto found = url::cachedThumbnail(url, QSize(400, 400));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->size(), QSize(200, 300));
    // Made from an earlier version of the file: not used.
    struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    EXPECT_FALSE(url::cachedThumbnail(url, QSize(400, 400)));

    EXPECT_FALSE(url::storeThumbnail(QUrl::fromLocalFile(folder.path() + QStringLiteral("/missing")), page));
}

TEST(ThumbnailTest, SvgPicturesNeverLoadAnythingOutsideTheirFile) {
    QTemporaryDir folder;
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString outside = folder.path() + QStringLiteral("/outside.png");
    ASSERT_TRUE(red.save(outside));
    QByteArray blueData;
    QBuffer buffer(&blueData);
    QImage blue(8, 8, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && blue.save(&buffer, "PNG"));

    // Three pictures side by side: another file by absolute path, a sibling by relative path, and a
    // picture held inside the document itself, which stays.
    const QByteArray svg =
        "<?xml version=\"1.0\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
        "width=\"30\" height=\"10\">"
        "<rect width=\"30\" height=\"10\" fill=\"#00ff00\"/>"
        "<image x=\"0\" y=\"0\" width=\"10\" height=\"10\" xlink:href=\"" +
        QFile::encodeName(outside) +
        "\"/>"
        "<image x=\"10\" y=\"0\" width=\"10\" height=\"10\" href=\"outside.png\"/>"
        "<image x=\"20\" y=\"0\" width=\"10\" height=\"10\" xlink:href=\"data:image/png;base64," +
        blueData.toBase64() + "\"/></svg>\n";
    const QString path = folder.path() + QStringLiteral("/drawing.svg");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(svg);
    file.close();

    const auto picture = url::quickLookThumbnail(QUrl::fromLocalFile(path), QSizeF(30, 10), 1.0, false);
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->size(), QSize(30, 10));
    EXPECT_EQ(picture->pixelColor(5, 5), QColor(Qt::green)) << "the absolute reference is not followed";
    EXPECT_EQ(picture->pixelColor(15, 5), QColor(Qt::green)) << "the relative reference is not followed";
    EXPECT_EQ(picture->pixelColor(25, 5), QColor(Qt::blue)) << "the embedded picture is drawn";
    EXPECT_EQ(url::mediaDimensions(QUrl::fromLocalFile(path)), QSize(30, 10));

    // A document that hides a further document inside a data reference, or cannot be read as XML, is not
    // drawn at all, not even by a thumbnailer the desktop has for drawings (here one that draws red), which
    // would follow the references.
    kestrova::testing::TemporaryHome home;
    ASSERT_TRUE(QDir().mkpath(home.dataHome() + QStringLiteral("/thumbnailers")));
    QFile entry(home.dataHome() + QStringLiteral("/thumbnailers/drawings.thumbnailer"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Thumbnailer Entry]\nExec=cp " + QFile::encodeName(outside) +
                " %o\nMimeType=image/svg+xml;\n");
    entry.close();
    const QByteArray nested =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
        "width=\"10\" height=\"10\"><image width=\"10\" height=\"10\" xlink:href=\"" +
        QFile::encodeName(outside) + "\"/></svg>";
    for (const QByteArray &hostile :
         {QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                     "width=\"10\" height=\"10\"><image width=\"10\" height=\"10\" "
                     "xlink:href=\"data:image/png;base64,") +
              nested.toBase64() + "\"/></svg>",
          QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><rect "
                     "fill=\"red\" width=\"10\" height=\"10\"/><unclosed></svg>")}) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(hostile);
        file.close();
        const auto drawn = url::quickLookThumbnail(QUrl::fromLocalFile(path), QSizeF(10, 10), 1.0, false);
        EXPECT_TRUE(!drawn || drawn->pixelColor(5, 5) != QColor(Qt::red)) << hostile.constData();
    }

    // Nor is a picture our reader refuses (its header claims 60,000 × 60,000 pixels) handed to the desktop's
    // thumbnailer for pictures, which would spend the same memory and time on it.
    QFile pictures(home.dataHome() + QStringLiteral("/thumbnailers/pictures.thumbnailer"));
    ASSERT_TRUE(pictures.open(QIODevice::WriteOnly));
    pictures.write("[Thumbnailer Entry]\nExec=cp " + QFile::encodeName(outside) +
                   " %o\nMimeType=image/png;\n");
    pictures.close();
    const QString hugePath = folder.path() + QStringLiteral("/huge.png");
    QFile hugeFile(hugePath);
    ASSERT_TRUE(hugeFile.open(QIODevice::WriteOnly));
    hugeFile.write(kestrova::testing::pngClaiming(60000, 60000));
    hugeFile.close();
    EXPECT_EQ(url::mediaDimensions(QUrl::fromLocalFile(hugePath)), QSize(60000, 60000));
    EXPECT_FALSE(url::quickLookThumbnail(QUrl::fromLocalFile(hugePath), QSizeF(10, 10), 1.0, false));
}

TEST(ThumbnailTest, SvgCleaningKeepsReferencesInsideTheDocument) {
    const auto cleaned = ContainedImageReader::svgWithoutExternalReferences(
        "<!DOCTYPE svg [<!ENTITY outside SYSTEM \"file:///etc/hostname\">]>"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">"
        "<style>@import url(\"https://example.org/a.css\");</style>"
        "<defs><linearGradient id=\"g\"/></defs>"
        "<use xlink:href=\"#g\"/><use xlink:href=\"other.svg#g\"/>"
        "<rect fill=\"url(#g)\" stroke=\"url(other.svg#g)\"/><text>&outside;</text></svg>");
    ASSERT_TRUE(cleaned);
    const QString text = QString::fromUtf8(*cleaned);
    EXPECT_TRUE(text.contains(QStringLiteral("xlink:href=\"#g\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("fill=\"url(#g)\""))) << text.toStdString();
    for (const char *gone : {"other.svg", "example.org", "hostname", "ENTITY"})
        EXPECT_FALSE(text.contains(QLatin1String(gone))) << gone << " in " << text.toStdString();
}

#include "foundation/FileUrl.h"
#include "foundation/Thumbnail.h"

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

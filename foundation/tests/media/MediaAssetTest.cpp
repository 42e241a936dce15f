#include "foundation/media/AVFormat.h"
#include "foundation/media/MediaAsset.h"
#include "foundation/media/MediaDimensions.h"
#include "foundation/media/VideoFrameImage.h"
#include "foundation/errors/Error.h"
#include "platform/testing/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace kestrova;
using kestrova::testing::TestMovie;
using kestrova::testing::writeTestMovie;

namespace {

QUrl fileUrl(const QString &path) {
    return QUrl::fromLocalFile(path);
}

bool isNear(const QColor &color, const QColor &expected) {
    return std::abs(color.red() - expected.red()) < 40 && std::abs(color.green() - expected.green()) < 40 &&
           std::abs(color.blue() - expected.blue()) < 40;
}

void writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace

TEST(AVFormatTest, NamesCodesAndMediaTypesAreTheTables) {
    ASSERT_EQ(AVFormat::all.size(), 22U);
    EXPECT_EQ(AVFormat::fromRawValue(QStringLiteral("hevc")), AVFormat(AVFormat::Case::hevc));
    EXPECT_FALSE(AVFormat::fromRawValue(QStringLiteral("HEVC")));
    EXPECT_FALSE(AVFormat::fromRawValue(QString()));
    for (const AVFormat format : AVFormat::all)
        EXPECT_EQ(AVFormat::fromRawValue(format.rawValue()), format) << format.rawValue().toStdString();
    EXPECT_EQ(AVFormat(AVFormat::Case::hevc).debugDescription(), QStringLiteral("HEVC (hvc1)"));
    EXPECT_EQ(AVFormat(AVFormat::Case::appleAnimation).code(), QStringLiteral("rle "));
    EXPECT_EQ(AVFormat(AVFormat::Case::appleAnimation).debugDescription(),
              QStringLiteral("Apple Animation (rle)"));
    EXPECT_EQ(AVFormat(AVFormat::Case::quickTimeGraphics).code(), QStringLiteral("smc"));
    EXPECT_EQ(AVFormat(AVFormat::Case::hap1).description(), AVFormat(AVFormat::Case::hap7).description());
    EXPECT_EQ(AVFormat::all.back().debugDescription(), QStringLiteral("Avid DNxHD (AVdh)"));

    EXPECT_EQ(MediaType::closedCaption.debugDescription(), QStringLiteral("Closed-caption content"));
    EXPECT_EQ(MediaType::timecode.debugDescription(), QStringLiteral("Time code"));
    EXPECT_EQ(MediaType::video.debugDescription(), QStringLiteral("Video"));
    EXPECT_EQ(MediaType(QStringLiteral("auxv")).debugDescription(), QStringLiteral("Unknown"));
}

TEST(MediaAssetTest, MoviesReportTheSizeTheyAreShownAt) {
    QTemporaryDir folder;
    // A portrait recording: pictures stored 1920 × 1080, turned a quarter by the track.
    const QString portrait = folder.filePath(QStringLiteral("portrait.mp4"));
    ASSERT_TRUE(
        writeTestMovie(portrait, {.size = QSize(1920, 1080), .frameCount = 2, .rotationDegrees = 90}));
    const auto asset = MediaAsset::open(QFile::encodeName(portrait));
    const auto track = asset->firstVideoTrack();
    ASSERT_TRUE(track);
    EXPECT_EQ(track->naturalSize, QSizeF(1920, 1080));
    EXPECT_EQ(track->dimensions(), QSize(1080, 1920));
    EXPECT_EQ(url::mediaDimensions(fileUrl(portrait)), QSize(1080, 1920));

    const QString plain = folder.filePath(QStringLiteral("plain.mkv"));
    ASSERT_TRUE(writeTestMovie(plain, {.size = QSize(64, 36)}));
    EXPECT_EQ(url::mediaDimensions(fileUrl(plain)), QSize(64, 36));
    // A transport stream tells the size only in its packets.
    const QString stream = folder.filePath(QStringLiteral("broadcast.ts"));
    ASSERT_TRUE(writeTestMovie(stream, {.size = QSize(96, 48)}));
    EXPECT_EQ(url::mediaDimensions(fileUrl(stream)), QSize(96, 48));
    const QString upsideDown = folder.filePath(QStringLiteral("upside down.mp4"));
    ASSERT_TRUE(writeTestMovie(upsideDown, {.size = QSize(64, 36), .rotationDegrees = 180}));
    EXPECT_EQ(url::mediaDimensions(fileUrl(upsideDown)), QSize(64, 36));

    // A track whose transform collapses every size is measured by its first frame.
    MediaTrack collapsed = *asset->firstVideoTrack();
    collapsed.preferredTransform = QTransform(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(collapsed.dimensions(), QSize(1920, 1080));
    collapsed.naturalSize = QSizeF(0, 0);
    EXPECT_FALSE(collapsed.dimensions());
}

TEST(MediaAssetTest, FramesAreTheOnesShownAtTheTimeAndTurnedLikeTheTrack) {
    QTemporaryDir folder;
    // Two seconds: red, then blue from one second on; the left quarter is always green.
    const QString path = folder.filePath(QStringLiteral("clip.mp4"));
    const TestMovie movie{
        .size = QSize(64, 32), .frameCount = 50, .rotationDegrees = 0, .colorAt = [](int frame, int x, int) {
            return x < 16 ? QColor(Qt::green) : frame < 25 ? QColor(Qt::red) : QColor(Qt::blue);
        }};
    ASSERT_TRUE(writeTestMovie(path, movie));
    const auto first = videoFrameImage(path, Duration(0));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), QSize(64, 32));
    EXPECT_TRUE(isNear(first->pixelColor(40, 16), Qt::red)) << first->pixelColor(40, 16).name().toStdString();
    const auto later = videoFrameImage(path, Duration(1.5));
    ASSERT_TRUE(later);
    EXPECT_TRUE(isNear(later->pixelColor(40, 16), Qt::blue))
        << later->pixelColor(40, 16).name().toStdString();
    // Past the end: the last frame.
    const auto end = videoFrameImage(path, Duration(60));
    ASSERT_TRUE(end);
    EXPECT_TRUE(isNear(end->pixelColor(40, 16), Qt::blue));

    // Turned a quarter clockwise for showing, the green left edge is on top, as movie players show it.
    const QString turned = folder.filePath(QStringLiteral("turned.mp4"));
    TestMovie turnedMovie = movie;
    turnedMovie.rotationDegrees = 90;
    ASSERT_TRUE(writeTestMovie(turned, turnedMovie));
    const auto upright = videoFrameImage(turned, Duration(0));
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->size(), QSize(32, 64));
    EXPECT_TRUE(isNear(upright->pixelColor(16, 4), Qt::green))
        << upright->pixelColor(16, 4).name().toStdString();
    EXPECT_TRUE(isNear(upright->pixelColor(16, 60), Qt::red))
        << upright->pixelColor(16, 60).name().toStdString();

    EXPECT_FALSE(videoFrameImage(folder.filePath(QStringLiteral("missing.mp4")), Duration(0)));
}

// Files made to hurt the reader: each gives nothing (or a size it really has), without hanging, crashing or
// allocating what the header claims.
TEST(MediaAssetTest, HostileFilesGiveNothingAndNeverHang) {
    QTemporaryDir folder;
    // A raw stream whose header claims 100,000 × 100,000 pixels (40 GB a frame), under a movie's name.
    const QString huge = folder.filePath(QStringLiteral("huge.mkv"));
    writeBytes(huge, QByteArray("YUV4MPEG2 W100000 H100000 F25:1 Ip A1:1 C420jpeg\nFRAME\n") +
                         QByteArray(4096, '\x80'));
    EXPECT_FALSE(url::mediaDimensions(fileUrl(huge)));
    EXPECT_FALSE(videoFrameImage(huge, Duration(0)));

    // A FIFO named like a movie: never opened, so nothing waits for a writer.
    const QString fifo = folder.filePath(QStringLiteral("pipe.mp4"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(url::mediaDimensions(fileUrl(fifo)));
    EXPECT_FALSE(videoFrameImage(fifo, Duration(0)));
    EXPECT_THROW(MediaAsset::open(QFile::encodeName(fifo)), Error);

    // Two gigabytes of nothing, and a movie cut in half.
    const QString empty = folder.filePath(QStringLiteral("empty.mp4"));
    writeBytes(empty, {});
    ASSERT_EQ(::truncate(QFile::encodeName(empty).constData(), 2LL << 30), 0);
    EXPECT_FALSE(url::mediaDimensions(fileUrl(empty)));
    const QString whole = folder.filePath(QStringLiteral("whole.mp4"));
    ASSERT_TRUE(writeTestMovie(whole, {.size = QSize(64, 36), .frameCount = 25}));
    QFile wholeFile(whole);
    ASSERT_TRUE(wholeFile.open(QIODevice::ReadOnly));
    const QString cut = folder.filePath(QStringLiteral("cut.mp4"));
    writeBytes(cut, wholeFile.readAll().left(int(wholeFile.size() / 2)));
    const auto cutSize = url::mediaDimensions(fileUrl(cut));
    EXPECT_TRUE(!cutSize || *cutSize == QSize(64, 36));
    videoFrameImage(cut, Duration(0.5));

    // A list of other files dressed as a movie: the movie it names is never read through it (the library
    // would look for it beside the process, so the process goes where the movie is).
    writeBytes(folder.filePath(QStringLiteral("list.mp4")), "ffconcat version 1.0\nfile whole.mp4\n");
    const QString working = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    const auto listed = url::mediaDimensions(fileUrl(folder.filePath(QStringLiteral("list.mp4"))));
    QDir::setCurrent(working);
    EXPECT_FALSE(listed);

    // A file that never ends: a writer keeps adding frames while a frame far ahead is asked for. The
    // reading stops at its byte budget or its time limit, whichever comes first.
    const QString endless = folder.filePath(QStringLiteral("endless.mkv"));
    writeBytes(endless, "YUV4MPEG2 W16 H16 F25:1 Ip A1:1 C420jpeg\n");
    std::atomic<bool> writing = true;
    std::thread writer([&] {
        QFile file(endless);
        if (!file.open(QIODevice::Append))
            return;
        const QByteArray frame = QByteArray("FRAME\n") + QByteArray(16 * 16 * 3 / 2, '\x80');
        // Ahead of the reader, which stops at 64 MB; bounded, so that a failing reader fails the test
        // instead of filling the disk.
        while (writing && file.size() < 128LL * 1024 * 1024)
            file.write(frame.repeated(256));
    });
    const auto frame = videoFrameImage(endless, Duration(1e9));
    writing = false;
    writer.join();
    EXPECT_TRUE(!frame || frame->size() == QSize(16, 16));
}

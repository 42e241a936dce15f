#include "foundation/files/ExtendedAttributes.h"
#include "foundation/files/UniqueFileUrl.h"
#include "foundation/files/WellKnownFolders.h"
#include "foundation/images/ImageExport.h"
#include "foundation/testing/ReportedErrors.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/xattr.h>

using namespace kestrova;

namespace {

// Left half red, right half blue, so that a mirrored or scaled-wrong picture shows.
QImage twoColours(int width = 64, int height = 48) {
    QImage image(width, height, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height, Qt::blue);
    return image;
}

void expectTwoColours(const QImage &image, int tolerance) {
    ASSERT_FALSE(image.isNull());
    const QColor left = image.pixelColor(image.width() / 4, image.height() / 2);
    const QColor right = image.pixelColor(image.width() * 3 / 4, image.height() / 2);
    EXPECT_NEAR(left.red(), 255, tolerance);
    EXPECT_NEAR(left.blue(), 0, tolerance);
    EXPECT_NEAR(right.red(), 0, tolerance);
    EXPECT_NEAR(right.blue(), 255, tolerance);
}

QStringList fileNames(const QString &folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class ImageExportTest : public ::testing::Test {
protected:
    // Under the build folder rather than /tmp, which may be a tmpfs without user attributes.
    QTemporaryDir m_folder{QDir::currentPath() + QStringLiteral("/../image-export-XXXXXX")};

    QUrl fileURL(const QString &name) const { return QUrl::fromLocalFile(m_folder.filePath(name)); }
    void touch(const QString &name) const { QFile(m_folder.filePath(name)).open(QIODevice::WriteOnly); }
};

TEST_F(ImageExportTest, EachFormatReadsBackWithItsSizeColoursAndResolution) {
    const KvImage image(twoColours());
    for (const char *name : {"plain.png", "photo.jpg", "photo.jpeg", "scan.tif", "scan.tiff"}) {
        SCOPED_TRACE(name);
        const QUrl written = image.write(fileURL(QString::fromLatin1(name)), std::nullopt, 144, 0.9);
        EXPECT_EQ(written, fileURL(QString::fromLatin1(name)));
        QImageReader reader(written.toLocalFile());
        reader.setDecideFormatFromContent(true);
        const QImage back = reader.read();
        EXPECT_EQ(back.size(), QSize(64, 48));
        expectTwoColours(back, 40);
        // 144 dots per inch in both directions.
        EXPECT_NEAR(back.dotsPerMeterX() * 0.0254, 144, 1);
        EXPECT_NEAR(back.dotsPerMeterY() * 0.0254, 144, 1);
    }

    // GIF: the colours of a picture that has few, and its transparent part.
    QImage halfClear = twoColours();
    halfClear.setPixelColor(0, 0, Qt::transparent);
    const QImage gif(image.write(fileURL(QStringLiteral("few.gif"))).toLocalFile());
    EXPECT_EQ(gif.size(), QSize(64, 48));
    expectTwoColours(gif, 0);
    const QImage clear(KvImage(halfClear).write(fileURL(QStringLiteral("clear.gif"))).toLocalFile());
    EXPECT_EQ(qAlpha(clear.pixel(0, 0)), 0);
    EXPECT_EQ(clear.pixelColor(40, 20), QColor(Qt::blue));

    // The longer side is fitted to the size limit, the shape kept; a limit above the size changes nothing.
    const QImage limited(image.write(fileURL(QStringLiteral("small.png")), 32).toLocalFile());
    EXPECT_EQ(limited.size(), QSize(32, 24));
    expectTwoColours(limited, 0);
    EXPECT_EQ(QImage(image.write(fileURL(QStringLiteral("same.png")), 500).toLocalFile()).size(),
              QSize(64, 48));

    // Quality matters to JPEG: a lower one makes a smaller file.
    QImage grain(128, 128, QImage::Format_RGB32);
    for (int y = 0; y < grain.height(); ++y)
        for (int x = 0; x < grain.width(); ++x)
            grain.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x ^ y) * 2 % 256));
    const KvImage noisy(grain);
    const qint64 best =
        QFile(noisy.write(fileURL(QStringLiteral("best.jpg")), std::nullopt, std::nullopt, 1).toLocalFile())
            .size();
    const qint64 worst =
        QFile(noisy.write(fileURL(QStringLiteral("worst.jpg")), std::nullopt, std::nullopt, 0).toLocalFile())
            .size();
    EXPECT_LT(worst, best);

    // No partial or temporary files stay behind.
    for (const QString &name : fileNames(m_folder.path()))
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
}

TEST_F(ImageExportTest, HeicIsAnHevcImageOfTheSameSize) {
    const QUrl written =
        KvImage(twoColours()).write(fileURL(QStringLiteral("phone.heic")), std::nullopt, std::nullopt, 0.8);
    QFile file(written.toLocalFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.mid(4, 8), QByteArray("ftypheic"));

    heif_context *context = heif_context_alloc();
    ASSERT_EQ(
        heif_context_read_from_memory_without_copy(context, bytes.constData(), size_t(bytes.size()), nullptr)
            .code,
        heif_error_Ok);
    heif_image_handle *handle = nullptr;
    ASSERT_EQ(heif_context_get_primary_image_handle(context, &handle).code, heif_error_Ok);
    EXPECT_EQ(heif_image_handle_get_width(handle), 64);
    EXPECT_EQ(heif_image_handle_get_height(handle), 48);
    heif_image *decoded = nullptr;
    ASSERT_EQ(
        heif_decode_image(handle, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code,
        heif_error_Ok);
    int stride = 0;
    const uint8_t *plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    const QImage back(plane, 64, 48, stride, QImage::Format_RGB888);
    expectTwoColours(back, 40);
    heif_image_release(decoded);
    heif_image_handle_release(handle);
    heif_context_free(context);
}

TEST_F(ImageExportTest, UnwritableRequestsFailClearlyAndLeaveNoFile) {
    const KvImage image(twoColours());
    // Extensions are compared exactly.
    try {
        image.write(fileURL(QStringLiteral("Shout.PNG")));
        ADD_FAILURE() << "an upper-case extension was accepted";
    } catch (const ImageWriteError &error) {
        EXPECT_EQ(error.kind(), ImageWriteError::Kind::unsupportedFileType);
        EXPECT_TRUE(error.localizedDescription().startsWith(QStringLiteral("The file type “")));
        EXPECT_TRUE(error.localizedDescription().endsWith(QStringLiteral("” is not supported.")));
    }
    EXPECT_THROW(image.write(fileURL(QStringLiteral("noextension"))), ImageWriteError);
    try {
        KvImage(QImage(), QSizeF(10, 10)).write(fileURL(QStringLiteral("empty.png")));
        ADD_FAILURE() << "an image without pixels was written";
    } catch (const Error &error) {
        EXPECT_EQ(error.localizedDescription(), QStringLiteral("Could not get CGImage from image."));
    }

    // A folder that is not there.
    const QUrl missing = fileURL(QStringLiteral("gone/picture.png"));
    try {
        image.write(missing);
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const ImageWriteError &error) {
        EXPECT_EQ(error.kind(), ImageWriteError::Kind::destination);
        EXPECT_TRUE(
            error.localizedDescription().contains(QStringLiteral("you don't have permission to write")));
        EXPECT_TRUE(error.localizedFailureReason().has_value());
    }

    // A disk that fills up half-way: the write fails with the system's reason, and neither the old file
    // nor a part of the new one is lost or left behind.
    {
        QFile kept(m_folder.filePath(QStringLiteral("kept.png")));
        ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
        kept.write("old contents");
    }
    rlimit previous;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed = false;
    try {
        KvImage(twoColours(400, 400))
            .write(fileURL(QStringLiteral("kept.png")), std::nullopt, std::nullopt, 1);
    } catch (const ImageWriteError &error) {
        failed = true;
        EXPECT_EQ(error.kind(), ImageWriteError::Kind::write);
        EXPECT_TRUE(error.localizedDescription().startsWith(QStringLiteral("Failed to write image to “")));
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousSignal);
    EXPECT_TRUE(failed);
    QFile kept(m_folder.filePath(QStringLiteral("kept.png")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old contents"));
    EXPECT_EQ(fileNames(m_folder.path()), QStringList{QStringLiteral("kept.png")});
}

TEST_F(ImageExportTest, NumberedNamesNeverReplaceAFile) {
    EXPECT_EQ(uniqueFileURL(fileURL(QStringLiteral("Photo.png"))).toLocalFile(),
              m_folder.filePath(QStringLiteral("Photo.png")));
    touch(QStringLiteral("Photo.png"));
    EXPECT_EQ(uniqueFileURL(fileURL(QStringLiteral("Photo.png"))).toLocalFile(),
              m_folder.filePath(QStringLiteral("Photo (1).png")));
    // A numbered name counts on from its number, and its bare form comes first.
    touch(QStringLiteral("Photo (4).png"));
    EXPECT_EQ(uniqueFileURL(fileURL(QStringLiteral("Photo (3).png"))).toLocalFile(),
              m_folder.filePath(QStringLiteral("Photo (5).png")));
    EXPECT_EQ(uniqueFileURL(fileURL(QStringLiteral("Other (3).png"))).toLocalFile(),
              m_folder.filePath(QStringLiteral("Other.png")));
    // Only " (digits)" at the very end counts; hidden names and names without extension work too.
    touch(QStringLiteral("Photo(2).png"));
    EXPECT_EQ(uniqueFileURL(fileURL(QStringLiteral("Photo(2).png"))).toLocalFile(),
              m_folder.filePath(QStringLiteral("Photo(2) (1).png")));
    touch(QStringLiteral(".hidden"));
    EXPECT_EQ(uniqueFileURL(fileURL(QStringLiteral(".hidden"))).toLocalFile(),
              m_folder.filePath(QStringLiteral(".hidden (1)")));

    const KvImage image(twoColours());
    const QUrl first = image.write(fileURL(QStringLiteral("Photo.png")), ImageFileType::png, true);
    const QUrl second = image.write(fileURL(QStringLiteral("Photo.png")), ImageFileType::png, true);
    EXPECT_EQ(first.toLocalFile(), m_folder.filePath(QStringLiteral("Photo (1).png")));
    EXPECT_EQ(second.toLocalFile(), m_folder.filePath(QStringLiteral("Photo (2).png")));
    EXPECT_EQ(QFile(m_folder.filePath(QStringLiteral("Photo.png"))).size(), 0);
    EXPECT_EQ(QImage(second.toLocalFile()).size(), QSize(64, 48));
}

TEST_F(ImageExportTest, ScreenshotsCarryTheirMarkAndPathsShowHomeAsTilde) {
    KvImage image(twoColours());
    QUrl written;
    try {
        written = image.write(fileURL(QStringLiteral("shot.png")), std::nullopt, std::nullopt, 1,
                              /*isScreenshot=*/true);
    } catch (const ImageWriteError &error) {
        if (error.localizedFailureReason().value_or(QString()).contains(QStringLiteral("not supported")))
            GTEST_SKIP() << "user extended attributes are not supported here";
        throw;
    }
    char buffer[64];
    const QByteArray path = QFile::encodeName(written.toLocalFile());
    const ssize_t size =
        ::getxattr(path.constData(), "user.com.apple.metadata:kMDItemIsScreenCapture", buffer, sizeof buffer);
    EXPECT_EQ(QByteArray(buffer, int(qMax(ssize_t(0), size))), ExtendedAttributes::binaryPropertyList(true));
    const QUrl plain = image.write(fileURL(QStringLiteral("plain.png")));
    EXPECT_LT(::getxattr(QFile::encodeName(plain.toLocalFile()).constData(),
                         "user.com.apple.metadata:kMDItemIsScreenCapture", buffer, sizeof buffer),
              0);

    const QString home = QDir::cleanPath(url::realHomeDirectory().path());
    EXPECT_EQ(ImageWriteError::displayPath(QUrl::fromLocalFile(home + QStringLiteral("/Pictures/a.png"))),
              QStringLiteral("~/Pictures/a.png"));
    // A neighbour whose name merely starts with the home folder's is shown as it is.
    EXPECT_EQ(ImageWriteError::displayPath(QUrl::fromLocalFile(home + QStringLiteral("by/a.png"))),
              home + QStringLiteral("by/a.png"));
    EXPECT_EQ(
        ImageWriteError(ImageWriteError::Kind::write, QUrl::fromLocalFile(home + QStringLiteral("/b.tiff")))
            .localizedDescription(),
        QStringLiteral("Failed to write image to “~/b.tiff”"));
}

TEST(KvImageTest, PixelScaleTemplateCopiesAndPngData) {
    const KvImage retina(twoColours(200, 100), QSizeF(100, 50));
    EXPECT_DOUBLE_EQ(retina.pixelScale(), 2);
    // Without pixels the point size stands in.
    EXPECT_DOUBLE_EQ(KvImage(QImage(), QSizeF(10, 10)).pixelScale(), 1);

    kestrova::testing::ReportedErrors reported;
    EXPECT_DOUBLE_EQ(KvImage(QImage(), QSizeF(0, 5)).pixelScale(), 1);
    ASSERT_EQ(reported.errors().size(), 1);
    EXPECT_EQ(reported.errors().first().localizedDescription(), QStringLiteral("pixelSize or size is zero"));

    const KvImage templated = retina.copy(true);
    EXPECT_TRUE(templated.isTemplate());
    EXPECT_FALSE(retina.isTemplate());
    EXPECT_FALSE(templated.copy(false).isTemplate());

    const auto png = retina.pngData();
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(QImage::fromData(*png, "PNG").size(), QSize(200, 100));
    EXPECT_FALSE(KvImage().pngData().has_value());
    EXPECT_EQ(debugDescription(ImagePixelFormat::bgra), QStringLiteral("CGImage.PixelFormat(BGRA)"));
}

} // namespace

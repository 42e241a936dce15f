// Pictures for status icons read from files on disk: the scale rule, and every kind of file the chooser
// may be handed that is no usable picture.
#include "screens/icons/CustomIconImport.h"
#include "screens/icons/CustomIconPicker.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <libheif/heif.h>
#include <sys/stat.h>
#include <cstring>
#include <atomic>
#include <future>
#include <zlib.h>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::testing::processEventsUntil;

namespace {

QByteArray pngBytes(const QImage &image) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

QByteArray chunk(const QByteArray &type, const QByteArray &payload) {
    QByteArray result(4, 0);
    qToBigEndian<quint32>(quint32(payload.size()), result.data());
    const QByteArray body = type + payload;
    QByteArray crc(4, 0);
    qToBigEndian<quint32>(
        quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))), crc.data());
    return result + body + crc;
}

// A PNG whose header claims `width` × `height` pixels, with no image data behind it.
QByteArray pngHeaderOnly(quint32 width, quint32 height) {
    QByteArray header(13, 0);
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = 8; // bit depth
    header[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IEND", {});
}

// `png` with an animation control chunk right after its header, as animated PNGs have.
QByteArray animated(const QByteArray &png) {
    QByteArray control(8, 0);
    qToBigEndian<quint32>(2, control.data());
    const qsizetype afterHeader = 8 + 25;
    return png.left(afterHeader) + chunk("acTL", control) + png.mid(afterHeader);
}

// `image` encoded as HEIC with libheif's HEVC encoder; empty where the encoder is missing.
QByteArray heicBytes(const QImage &image) {
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_image *picture = nullptr;
    QByteArray result;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == heif_error_Ok &&
        heif_image_create(rgba.width(), rgba.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                          &picture)
                .code == heif_error_Ok &&
        heif_image_add_plane(picture, heif_channel_interleaved, rgba.width(), rgba.height(), 8).code ==
            heif_error_Ok) {
        int stride = 0;
        uint8_t *plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
        for (int row = 0; row < rgba.height(); ++row)
            std::memcpy(plane + row * stride, rgba.constScanLine(row), size_t(rgba.width()) * 4);
        heif_writer writer{};
        writer.writer_api_version = 1;
        writer.write = [](heif_context *, const void *data, size_t size, void *target) {
            static_cast<QByteArray *>(target)->append(static_cast<const char *>(data), qsizetype(size));
            return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
        };
        if (heif_context_encode_image(context, picture, encoder, nullptr, nullptr).code == heif_error_Ok)
            heif_context_write(context, &writer, &result);
    }
    if (picture)
        heif_image_release(picture);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(context);
    return result;
}

class CustomIconPickerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    QString write(const QString &name, const QByteArray &data) {
        QFile file(m_folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return file.fileName();
    }

    // Runs an import through the picker, as the file chooser's answer does; true when it stored a picture.
    bool import(const QString &path) {
        std::optional<bool> succeeded;
        QObject::connect(
            &m_picker, &CustomIconPicker::importFinished, &m_picker,
            [&](bool success) { succeeded = success; }, Qt::SingleShotConnection);
        m_picker.importFile(path);
        EXPECT_TRUE(processEventsUntil([&] { return succeeded.has_value(); })) << qPrintable(path);
        return succeeded.value_or(false);
    }

    QTemporaryDir m_folder;
    kestrova::testing::ScopedScriptedPresenters m_presenters;
    std::optional<platform::Image> m_stored;
    CustomIconPicker m_picker{platform::Binding<std::optional<platform::Image>>(
        [this] { return m_stored; },
        [this](const std::optional<platform::Image> &image) { m_stored = image; })};
};

} // namespace

TEST(CustomIconImportTest, ScalesToSixteenPointsHighAndAtMostFortyWide) {
    const auto target = [](double width, double height) {
        return CustomIconImport::targetSize({width, height});
    };
    EXPECT_EQ(target(64, 64), QSizeF(16, 16));
    EXPECT_EQ(target(10, 10), QSizeF(16, 16));
    // Squeezed, not kept in proportion: 64 would pass 40.
    EXPECT_EQ(target(200, 50), QSizeF(40, 16));
    EXPECT_EQ(target(30, 60), QSizeF(8, 16));
    // A picture without width or height has no scale at all (the rule would give infinity or NaN).
    EXPECT_EQ(target(0, 32), std::nullopt);
    EXPECT_EQ(target(32, 0), std::nullopt);
    EXPECT_EQ(target(-5, 10), std::nullopt);
    EXPECT_EQ(target(std::nan(""), 10), std::nullopt);
    // Redrawn pixels follow the rule; a sliver still keeps one pixel.
    QImage sliver(1, 4000, QImage::Format_ARGB32);
    sliver.fill(Qt::black);
    const auto redrawn = CustomIconImport::redraw(sliver);
    ASSERT_TRUE(redrawn.isSuccess());
    EXPECT_EQ(redrawn.image->size(), QSize(1, 16));
}

TEST_F(CustomIconPickerTest, ChosenPngIsStoredSixteenHighAndCancelChangesNothing) {
    QImage picture(200, 50, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    const QString path = write(QStringLiteral("wide.png"), pngBytes(picture));

    m_presenters.openPanels().cancel();
    QTest::mouseClick(m_picker.button(), Qt::LeftButton);
    EXPECT_EQ(m_stored, std::nullopt);
    EXPECT_TRUE(m_presenters.alerts().shownAlerts().empty());

    m_presenters.openPanels().choose({QUrl::fromLocalFile(path)});
    QTest::mouseClick(m_picker.button(), Qt::LeftButton);
    ASSERT_TRUE(processEventsUntil([&] { return m_stored.has_value(); }));
    EXPECT_EQ(m_stored->size(), QSize(40, 16));
    EXPECT_EQ(m_stored->toQImage().pixelColor(20, 8), QColor(Qt::red));
    // The chooser offers PNG and HEIC files (and folders to walk through), nothing else.
    const platform::OpenPanel &panel = m_presenters.openPanels().shownPanels().back();
    EXPECT_TRUE(panel.shouldEnable(QUrl::fromLocalFile(path)));
    EXPECT_TRUE(panel.shouldEnable(QUrl::fromLocalFile(QStringLiteral("/photos/IMG.HEIC"))));
    EXPECT_FALSE(panel.shouldEnable(QUrl::fromLocalFile(QStringLiteral("/photos/a.gif"))));
    EXPECT_TRUE(m_presenters.alerts().shownAlerts().empty());

    // A HEIC picture (taller than wide) comes out the same way.
    QImage portrait(64, 128, QImage::Format_ARGB32);
    portrait.fill(QColor(0, 0, 255));
    const QByteArray heic = heicBytes(portrait);
    if (heic.isEmpty())
        GTEST_SKIP() << "libheif has no HEVC encoder here";
    ASSERT_TRUE(import(write(QStringLiteral("portrait.heic"), heic)));
    EXPECT_EQ(m_stored->size(), QSize(8, 16));
    const QColor middle = m_stored->toQImage().pixelColor(4, 8);
    EXPECT_LT(middle.red(), 40);
    EXPECT_GT(middle.blue(), 200);
}

TEST_F(CustomIconPickerTest, HostileFilesAreRefusedWithAReasonAndStoreNothing) {
    QImage small(32, 32, QImage::Format_ARGB32);
    small.fill(Qt::blue);
    QImage gif(8, 8, QImage::Format_ARGB32);
    gif.fill(Qt::green);
    QByteArray gifBytes;
    {
        QBuffer buffer(&gifBytes);
        buffer.open(QIODevice::WriteOnly);
        // Written as BMP: a picture of a type that is neither PNG nor HEIC.
        gif.save(&buffer, "BMP");
    }
    const QString fifo = m_folder.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = m_folder.filePath(QStringLiteral("folder.png"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString zeroes = m_folder.filePath(QStringLiteral("zeroes.png"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zeroes));

    struct Case {
        QString path;
        bool explained;
    };
    const std::vector<Case> cases{
        {write(QStringLiteral("huge.png"), pngHeaderOnly(60000, 60000)), true},
        {write(QStringLiteral("corrupt.png"), pngBytes(small).left(60) + QByteArray(200, '\x7f')), false},
        {write(QStringLiteral("empty.png"), {}), true},
        {write(QStringLiteral("animated.png"), animated(pngBytes(small))), true},
        {write(QStringLiteral("notes.png"), "these are not the pixels you are looking for\n"), false},
        {write(QStringLiteral("other.png"), gifBytes), false},
        {write(QStringLiteral("broken.heic"), QByteArray("\0\0\0\x18"
                                                         "ftypheic\0\0\0\0mif1heic",
                                                         24) +
                                                  QByteArray(100, '\x01')),
         false},
        {write(QStringLiteral("nowide.png"), pngHeaderOnly(0, 32)), false},
        {fifo, true},
        {folder, true},
        {zeroes, true},
    };
    for (const Case &refused : cases) {
        const std::size_t alertsBefore = m_presenters.alerts().shownAlerts().size();
        EXPECT_FALSE(import(refused.path));
        EXPECT_EQ(m_stored, std::nullopt) << qPrintable(refused.path);
        ASSERT_EQ(m_presenters.alerts().shownAlerts().size(), alertsBefore + 1) << qPrintable(refused.path);
        const platform::Alert &alert = m_presenters.alerts().shownAlerts().back();
        EXPECT_EQ(alert.messageText, QStringLiteral("Could not read image.")) << qPrintable(refused.path);
        EXPECT_EQ(!alert.informativeText.isEmpty(), refused.explained) << qPrintable(refused.path);
    }
    EXPECT_TRUE(
        m_presenters.alerts().shownAlerts().front().informativeText.contains(QStringLiteral("60000")));
    EXPECT_TRUE(m_picker.button()->isEnabled());

    // A decode that outlasts its time limit answers with a refusal; its late result is dropped.
    std::vector<CustomIconImport::Result> answers;
    auto release = std::make_shared<std::promise<void>>();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    CustomIconImport::start(
        write(QStringLiteral("slow.png"), pngBytes(small)), &m_picker,
        [&](const CustomIconImport::Result &answer) { answers.push_back(answer); },
        std::chrono::milliseconds(1),
        [gate = release->get_future().share(), finished](const QString &path) {
            gate.wait();
            auto result = CustomIconImport::importFile(path);
            *finished = true;
            return result;
        });
    ASSERT_TRUE(processEventsUntil([&] { return !answers.empty(); }));
    release->set_value();
    ASSERT_TRUE(processEventsUntil([&] { return finished->load(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_FALSE(answers[0].isSuccess());
    EXPECT_TRUE(answers[0].reason.contains(QStringLiteral("too long")));
}

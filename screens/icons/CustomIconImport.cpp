#include "CustomIconImport.h"

#include "foundation/media/MediaLibraries.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>

namespace kestrova {

namespace {

using Result = CustomIconImport::Result;

Result refused(QString reason = {}) {
    return Result{std::nullopt, std::move(reason)};
}

QString tooLargeReason(qint64 width, qint64 height) {
    return QStringLiteral("The picture is %1 × %2 pixels. Pictures of up to %3 pixels on a side can be used; "
                          "a status icon needs only 32 pixels in height.")
        .arg(width)
        .arg(height)
        .arg(CustomIconImport::kMaximumSide);
}

bool isTooLarge(qint64 width, qint64 height) {
    return width > CustomIconImport::kMaximumSide || height > CustomIconImport::kMaximumSide ||
           width * height > CustomIconImport::kMaximumPixels;
}

// The file's bytes, read only when it is a regular file of a sensible size. Opened without blocking, so a
// pipe whose writer never comes does not hang the reader; a link is followed, and refused when it ends at
// a device or a folder.
std::variant<QByteArray, Result> readRegularFile(const QString &path) {
    const QByteArray encoded = QFile::encodeName(path);
    const int descriptor = ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return refused(QStringLiteral("The file could not be opened."));
    const struct Closer {
        int descriptor;
        ~Closer() { ::close(descriptor); }
    } closer{descriptor};
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
        return refused(QStringLiteral("It is not a file but a folder, a device or a pipe."));
    if (status.st_size == 0)
        return refused(QStringLiteral("The file is empty."));
    if (status.st_size > CustomIconImport::kMaximumFileBytes)
        return refused(QStringLiteral("The file is larger than %1 MB.")
                           .arg(CustomIconImport::kMaximumFileBytes / (1024 * 1024)));
    QByteArray data(qsizetype(status.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t count = ::read(descriptor, data.data() + done, size_t(data.size() - done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        done += count;
    }
    // A file that shrank while it was read is read as far as it went.
    data.truncate(done);
    if (data.isEmpty())
        return refused(QStringLiteral("The file is empty."));
    return data;
}

bool isPng(const QByteArray &data) {
    return data.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8));
}

// Only reached once isHeif saw the library load.
const media::Libheif &heif() {
    return *media::libheif();
}

bool isHeif(const QByteArray &data) {
    if (data.size() < 12 || data.mid(4, 4) != "ftyp")
        return false;
    // Without the library, every such file is taken for one, so that decodeHeif says why it is refused.
    if (!media::libheif())
        return true;
    const heif_filetype_result type = heif().heif_check_filetype(
        reinterpret_cast<const uint8_t *>(data.constData()), int(std::min<qsizetype>(data.size(), 64)));
    return type == heif_filetype_yes_supported || type == heif_filetype_maybe;
}

// The four bytes at `at` as a PNG stores numbers; the caller keeps `at` + 4 within the data.
quint32 bigEndianWord(const QByteArray &data, qsizetype at) {
    return qFromBigEndian<quint32>(data.constData() + at);
}

// Whether a PNG carries an animation control chunk before its image data: an animated PNG, of which a
// status item could show only one frame.
bool isAnimatedPng(const QByteArray &data) {
    qsizetype offset = 8;
    while (offset + 8 <= data.size()) {
        const quint32 length = bigEndianWord(data, offset);
        const QByteArray type = data.mid(offset + 4, 4);
        if (type == "acTL")
            return true;
        if (type == "IDAT" || type == "IEND")
            return false;
        offset += 12 + qsizetype(length);
    }
    return false;
}

// The size a PNG's header claims, read from the bytes: before any decoder sees a picture it might not
// survive. Nothing when the header chunk is missing.
std::optional<std::pair<quint32, quint32>> pngHeaderSize(const QByteArray &data) {
    if (data.size() < 24 || data.mid(12, 4) != "IHDR")
        return std::nullopt;
    return std::pair{bigEndianWord(data, 16), bigEndianWord(data, 20)};
}

std::variant<QImage, Result> decodePng(const QByteArray &data) {
    const auto claimed = pngHeaderSize(data);
    if (!claimed || claimed->first == 0 || claimed->second == 0)
        return refused();
    if (isTooLarge(claimed->first, claimed->second))
        return refused(tooLargeReason(claimed->first, claimed->second));
    if (isAnimatedPng(data))
        return refused(QStringLiteral("The picture is animated; a status icon shows a still picture."));
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return refused();
    if (isTooLarge(size.width(), size.height()))
        return refused(tooLargeReason(size.width(), size.height()));
    QImage image = reader.read();
    if (image.isNull())
        return refused();
    return image;
}

std::variant<QImage, Result> decodeHeif(const QByteArray &data) {
    QString problem;
    if (!media::libheif(&problem))
        return refused(QStringLiteral("HEIC pictures cannot be read: %1.").arg(problem));
    const auto context = std::unique_ptr<heif_context, decltype(&heif_context_free)>(
        heif().heif_context_alloc(), heif().heif_context_free);
    if (!context)
        return refused();
    if (heif()
            .heif_context_read_from_memory_without_copy(context.get(), data.constData(), size_t(data.size()),
                                                        nullptr)
            .code != heif_error_Ok)
        return refused();
    heif_image_handle *rawHandle = nullptr;
    if (heif().heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok ||
        !rawHandle)
        return refused();
    const auto handle = std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)>(
        rawHandle, heif().heif_image_handle_release);
    const int width = heif().heif_image_handle_get_width(handle.get());
    const int height = heif().heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0)
        return refused();
    if (isTooLarge(width, height))
        return refused(tooLargeReason(width, height));
    heif_image *rawImage = nullptr;
    if (heif().heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                                 nullptr)
                .code != heif_error_Ok ||
        !rawImage)
        return refused();
    const auto image =
        std::unique_ptr<heif_image, decltype(&heif_image_release)>(rawImage, heif().heif_image_release);
    int stride = 0;
    const uint8_t *pixels =
        heif().heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!pixels || stride < width * 4)
        return refused();
    // Copied out, since the decoder's buffer goes with the image.
    return QImage(pixels, width, height, stride, QImage::Format_RGBA8888).copy();
}

} // namespace

std::optional<QSizeF> CustomIconImport::targetSize(const QSizeF &size) {
    const double width = size.width();
    const double height = size.height();
    // A picture without width or height has no scale: it is no picture.
    if (!(width > 0) || !(height > 0) || !std::isfinite(width) || !std::isfinite(height))
        return std::nullopt;
    const double scale = std::min(kHeight / height, double(std::numeric_limits<qint64>::max()) / width);
    return QSizeF(std::min(kMaximumWidth, width * scale), height * scale);
}

Result CustomIconImport::redraw(const QImage &pixels) {
    const std::optional<QSizeF> target = targetSize(pixels.size());
    if (!target)
        return refused();
    const QSize pixelSize(std::max(1, int(std::lround(target->width()))),
                          std::max(1, int(std::lround(target->height()))));
    const QImage redrawn = pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                               .scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::optional<platform::Image> image = platform::Image::fromQImage(redrawn);
    if (!image)
        return refused();
    return Result{std::move(image), {}};
}

Result CustomIconImport::importFile(const QString &path) {
    auto read = readRegularFile(path);
    if (auto *failure = std::get_if<Result>(&read))
        return *failure;
    const QByteArray &data = std::get<QByteArray>(read);
    std::variant<QImage, Result> decoded = isPng(data)    ? decodePng(data)
                                           : isHeif(data) ? decodeHeif(data)
                                                          : std::variant<QImage, Result>(refused());
    if (auto *failure = std::get_if<Result>(&decoded))
        return *failure;
    return redraw(std::get<QImage>(decoded));
}

void CustomIconImport::start(const QString &path, QObject *context,
                             std::function<void(const Result &)> completion,
                             std::chrono::milliseconds timeLimit, Importer importer) {
    if (!importer)
        importer = &CustomIconImport::importFile;
    // Whichever comes first, the result or the time limit, answers; the other finds the answer given.
    struct Pending {
        std::atomic<bool> isAnswered = false;
        std::function<void(const Result &)> completion;
    };
    auto pending = std::make_shared<Pending>();
    pending->completion = std::move(completion);
    const QPointer<QObject> receiver(context);
    auto *timer = new QTimer(context);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, context, [pending, timer] {
        timer->deleteLater();
        if (!pending->isAnswered.exchange(true))
            pending->completion(refused(QStringLiteral("Reading the picture took too long.")));
    });
    timer->start(timeLimit);
    QThreadPool::globalInstance()->start(
        [path, pending, receiver, importer, timer = QPointer<QTimer>(timer)] {
            Result result = importer(path);
            // Back on the main thread, where the receiver is known to live or not.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [pending, receiver, timer, result = std::move(result)] {
                    if (timer)
                        timer->deleteLater();
                    if (receiver && !pending->isAnswered.exchange(true))
                        pending->completion(result);
                },
                Qt::QueuedConnection);
        });
}

} // namespace kestrova

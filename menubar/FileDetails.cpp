#include "FileDetails.h"

#include "foundation/files/FileReading.h"
#include "foundation/files/FileUrl.h"
#include "foundation/media/MediaDimensions.h"
#include "foundation/files/ResourceValues.h"
#include "foundation/media/Thumbnail.h"
#include "ui-kit/utilities/MenuText.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QTimer>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <semaphore>
#include <thread>

#include <sys/stat.h>

namespace kestrova {
namespace {

// Texts up to this size are measured for the height of their box; longer ones fill the whole box.
constexpr qint64 kMeasuredTextLimit = 1999;
// Thumbnails are stored in the desktop's cache at this size, the cache's "x-large" folder.
constexpr int kStoredThumbnailSide = 512;

bool inheritsAny(const QMimeType &type, std::initializer_list<const char *> names) {
    for (const char *name : names) {
        if (type.inherits(QString::fromLatin1(name)))
            return true;
    }
    return false;
}

bool hasAncestorWithPrefix(const QMimeType &type, std::initializer_list<const char *> prefixes) {
    QStringList names = type.allAncestors();
    names.prepend(type.name());
    for (const QString &name : names) {
        for (const char *prefix : prefixes) {
            if (name.startsWith(QLatin1String(prefix)))
                return true;
        }
    }
    return false;
}

// The whole file as text when it is a regular file of at most `limit` bytes whose bytes are valid text
// (UTF-8, or the encoding its byte-order mark names). Never blocks on a FIFO or a device.
std::optional<QString> readSmallText(const QByteArray &path, qint64 limit) {
    // One byte more than the limit tells a file that is too long.
    const QByteArray bytes = readRegularFile(path, qsizetype(limit) + 1).value_or(QByteArray());
    if (bytes.isEmpty() || bytes.size() > limit)
        return std::nullopt;
    const auto encoding = QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8);
    QStringDecoder decoder(encoding);
    QString text = decoder.decode(bytes);
    if (decoder.hasError() || text.contains(QChar(0)))
        return std::nullopt;
    return text;
}

// The workers still reading. The application waits for them when it ends (up to the time limit), since
// they use the type database and the image readers, which go away with it; a worker that sees the end
// coming skips what it has not started.
struct Workers {
    std::mutex mutex;
    std::condition_variable finished;
    int running = 0;
    bool isStopping = false;
};

Workers &workers() {
    // Never destroyed: a worker stuck on a stalled mount may still reach it while the process ends.
    static auto *shared = new Workers;
    return *shared;
}

void waitForWorkers() {
    auto &shared = workers();
    std::unique_lock lock(shared.mutex);
    shared.isStopping = true;
    shared.finished.wait_for(lock, kFileDetailsTimeLimit, [&] { return shared.running == 0; });
}

void startWorker() {
    static std::once_flag installed;
    std::call_once(installed, [] { qAddPostRoutine(waitForWorkers); });
    const std::lock_guard lock(workers().mutex);
    ++workers().running;
}

void finishWorker() {
    auto &shared = workers();
    const std::lock_guard lock(shared.mutex);
    --shared.running;
    shared.finished.notify_all();
}

bool isStopping() {
    const std::lock_guard lock(workers().mutex);
    return workers().isStopping;
}

void post(std::function<void()> work) {
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

} // namespace

bool shouldUseImage(const QString &contentType, const QString &suffix) {
    if (suffix == QStringLiteral("ts"))
        return false;
    const QMimeType type = QMimeDatabase().mimeTypeForName(contentType);
    if (!type.isValid())
        return false;
    return hasAncestorWithPrefix(type, {"image/", "video/", "audio/"}) ||
           inheritsAny(type, {"application/x-executable", "application/x-pie-executable",
                              "application/x-sharedlib", "application/vnd.microsoft.portable-executable",
                              "application/x-msdownload", "application/zip", "application/vnd.ms-powerpoint",
                              "application/vnd.openxmlformats-officedocument.presentationml.presentation",
                              "application/vnd.oasis.opendocument.presentation"});
}

double previewHeight(const std::optional<QString> &text, qint64 fileSize, std::optional<double> aspectRatio,
                     const QFont &font) {
    if (text && fileSize <= kMeasuredTextLimit) {
        QFont small = font;
        small.setPointSizeF(10);
        const QRectF bounds = QFontMetricsF(small).boundingRect(
            QRectF(0, 0, kPreviewSide, 1e6), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, *text);
        return std::clamp(std::ceil(bounds.height()) + 40, 20.0, double(kPreviewSide));
    }
    // A damaged header can report a zero side: no ratio rather than an infinite or empty box.
    if (!aspectRatio || !std::isfinite(*aspectRatio) || *aspectRatio <= 0)
        return kPreviewSide;
    return std::min(double(kPreviewSide), kPreviewSide / *aspectRatio);
}

FileFacts readFileFacts(const QUrl &url) {
    FileFacts facts;
    // The dates come first: whatever reads the file afterwards (the type sniff below, the preview) must not
    // be what the "Opened" row reports, where the system does not let the reads keep the access time.
    facts.accessDate = url::contentAccessDate(url);
    facts.addedDate = url::addedToDirectoryDate(url);
    facts.modificationDate = url::contentModificationDate(url);
    facts.creationDate = url::creationDate(url);
    facts.contentType = url::contentType(url);
    if (facts.contentType) {
        const QString comment = QMimeDatabase().mimeTypeForName(*facts.contentType).comment();
        if (!comment.isEmpty())
            facts.kindDescription = capitalizedFirstCharacter(comment);
    }
    struct stat status {};
    const QByteArray path = url::localPath(url);
    if (!path.isEmpty() && ::stat(path.constData(), &status) == 0 && S_ISREG(status.st_mode))
        facts.fileSize = status.st_size;
    return facts;
}

void readFilePreview(const QUrl &url, FileFacts &facts, FilePreviewContent &preview, QSize fitting) {
    facts.dimensions = url::mediaDimensions(url);
    preview = {};
    if (facts.fileSize.value_or(0) <= 0)
        return;
    const QByteArray path = url::localPath(url);
    const QString type = facts.contentType.value_or(QString());
    preview.shouldUseImage = shouldUseImage(type, QFileInfo(QFile::decodeName(path)).suffix());

    std::optional<QImage> thumbnail = url::cachedThumbnail(url, fitting);
    if (!thumbnail) {
        // Made at the cache's size, so that the desktop's own file views can use it too (a desktop
        // thumbnailer's picture is kept there as it is made).
        thumbnail = url::quickLookThumbnail(url, QSizeF(kStoredThumbnailSide, kStoredThumbnailSide), 1.0,
                                            /*asIcon=*/false);
        if (thumbnail) {
            if (type.startsWith(QLatin1String("image/")))
                url::storeThumbnail(url, *thumbnail);
            if (thumbnail->width() > fitting.width() || thumbnail->height() > fitting.height())
                thumbnail = thumbnail->scaled(fitting, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
    }
    if (thumbnail)
        preview.thumbnail = *thumbnail;

    if (!preview.shouldUseImage &&
        QMimeDatabase().mimeTypeForName(type).inherits(QStringLiteral("text/plain"))) {
        if (auto text = readSmallText(path, kPreviewTextLimit)) {
            preview.kind = FilePreviewContent::Kind::text;
            preview.text = *text;
            return;
        }
    }
    preview.kind = thumbnail ? FilePreviewContent::Kind::picture : FilePreviewContent::Kind::dragHandle;
}

FileDetails::FileDetails(QUrl url)
    : m_url(std::move(url)) {}

std::shared_ptr<FileDetails> FileDetails::load(const QUrl &url, std::chrono::milliseconds timeLimit,
                                               Reader reader) {
    std::shared_ptr<FileDetails> details(new FileDetails(url));
    const double scale = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QSize fitting = QSize(kPreviewSide, kPreviewSide) * scale;
    std::weak_ptr<FileDetails> weak = details;
    // A thread of its own: a read that hangs on a stalled mount keeps its thread, never a pool's.
    startWorker();
    std::thread([url, reader = std::move(reader), weak, fitting, timeLimit] {
        const auto finished = qScopeGuard(finishWorker);
        if (isStopping())
            return;
        FileFacts facts = reader.facts(url);
        post([weak, facts] {
            if (auto strong = weak.lock())
                strong->receiveFacts(facts);
        });
        // Decoding pictures takes memory: a few at a time, however fast the user moves through submenus.
        static std::counting_semaphore<2> decoding(2);
        if (isStopping() || !decoding.try_acquire_for(timeLimit))
            return;
        FilePreviewContent preview;
        reader.preview(url, facts, preview, fitting);
        decoding.release();
        post([weak, facts = std::move(facts), preview = std::move(preview)] {
            if (auto strong = weak.lock())
                strong->receivePreview(facts, preview);
        });
    }).detach();
    QTimer::singleShot(timeLimit, details.get(), [raw = details.get()] { raw->giveUp(); });
    return details;
}

void FileDetails::receiveFacts(FileFacts facts) {
    if (m_isFinished)
        return;
    m_facts = std::move(facts);
    Q_EMIT changed();
}

void FileDetails::receivePreview(FileFacts facts, FilePreviewContent preview) {
    if (m_isFinished)
        return;
    m_facts = std::move(facts);
    m_preview = std::move(preview);
    m_isFinished = true;
    Q_EMIT changed();
}

void FileDetails::giveUp() {
    if (m_isFinished)
        return;
    m_isFinished = true;
    m_didTimeOut = true;
    m_preview = FilePreviewContent{};
    Q_EMIT changed();
}

} // namespace kestrova

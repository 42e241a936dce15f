#include "Thumbnail.h"

#include "ContainedImageReader.h"
#include "DesktopThumbnailer.h"
#include "foundation/files/FileUrl.h"
#include "foundation/files/ResourceValues.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QDir>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>

namespace kestrova::url {
namespace {

// A decoded picture may take this many megabytes at most: a header that claims a gigantic picture (or a
// damaged one) is refused instead of exhausting memory.
constexpr int kDecodeAllocationLimitMegabytes = 128;

// The cache's folders and the longest side of the thumbnails each holds.
constexpr std::pair<const char *, int> kCacheFolders[] = {
    {"normal", 128}, {"large", 256}, {"x-large", 512}, {"xx-large", 1024}};

QString cacheDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/thumbnails/");
}

QString cacheFileName(const QUrl &url) {
    return QString::fromLatin1(QCryptographicHash::hash(url.toEncoded(), QCryptographicHash::Md5).toHex() +
                               QByteArrayLiteral(".png"));
}

// The cache folder for pictures whose longest side is `side`: the smallest that holds them, else the largest.
int cacheFolderIndex(int side) {
    const auto found = std::find_if(std::begin(kCacheFolders), std::end(kCacheFolders) - 1,
                                    [side](const auto &entry) { return side <= entry.second; });
    return int(found - std::begin(kCacheFolders));
}

// Whether a cached picture was made from the file as it is now (`status`). The reader's own text lookup
// cannot see keys with colons, so the stamp is read off the image.
bool isStampedWith(const QImage &picture, const struct stat &status) {
    return picture.text(QStringLiteral("Thumb::MTime")) == QString::number(status.st_mtim.tv_sec);
}

// Writes `picture` to `target` in the cache as a PNG carrying the file's URI, modification time and size,
// readable by the user only, through a temporary file renamed into place.
bool storeStamped(const QUrl &url, QImage picture, const struct stat &status, const QString &target) {
    picture.setText(QStringLiteral("Thumb::URI"), QString::fromLatin1(url.toEncoded()));
    picture.setText(QStringLiteral("Thumb::MTime"), QString::number(status.st_mtim.tv_sec));
    picture.setText(QStringLiteral("Thumb::Size"), QString::number(status.st_size));
    const QString directory = target.left(target.lastIndexOf(QLatin1Char('/')));
    if (!QDir().mkpath(directory))
        return false;
    // The cache is private to the user: its folders are 0700 and every thumbnail 0600.
    for (QString folder = directory; folder.size() >= cacheDirectory().size() - 1;
         folder = folder.left(folder.lastIndexOf(QLatin1Char('/'))))
        ::chmod(QFile::encodeName(folder).constData(), 0700);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || ::fchmod(file.handle(), 0600) != 0 || !picture.save(&file, "PNG"))
        return false;
    return file.commit();
}

// Reads the image at `path` only when it is a regular file, so that no FIFO or device can block the reader,
// and never anything a picture refers to outside its own file.
// Large pictures are decoded straight at the fitting size; `validate` sees the decoded picture first.
std::optional<QImage> readImage(const QByteArray &path, const QSize &fitting,
                                const std::function<bool(const QImage &)> &validate = {}) {
    const auto contained = ContainedImageReader::open(path);
    if (!contained)
        return std::nullopt;
    QImageReader &reader = contained->reader();
    reader.setAllocationLimit(kDecodeAllocationLimitMegabytes);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!validate && size.isValid() && !size.isEmpty() &&
        (size.width() > fitting.width() || size.height() > fitting.height()))
        reader.setScaledSize(size.scaled(fitting, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull() || (validate && !validate(image)))
        return std::nullopt;
    if (image.width() > fitting.width() || image.height() > fitting.height())
        image = image.scaled(fitting, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

// The shared cache's thumbnail of the file when it was made from the file as it is now.
std::optional<QImage> cachedThumbnail(const QUrl &url, const QByteArray &path, const QSize &fitting) {
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        return std::nullopt;
    const QByteArray name = QFile::encodeName(cacheFileName(url));
    const QString cache = cacheDirectory();
    // The folder of the fitting size first, then the next larger one, then the next smaller one.
    const int first = cacheFolderIndex(std::max(fitting.width(), fitting.height()));
    for (const int index : {first, first + 1, first - 1}) {
        if (index < 0 || index >= int(std::size(kCacheFolders)))
            continue;
        const QString folder = QString::fromLatin1(kCacheFolders[index].first) + QLatin1Char('/');
        auto image = readImage(QFile::encodeName(cache + folder) + name, fitting,
                               [&](const QImage &picture) { return isStampedWith(picture, status); });
        if (image)
            return image;
    }
    return std::nullopt;
}

// The marker that the desktop's thumbnailer failed on the file as it is now: a tiny picture in the cache's
// folder of failures, so that a thumbnailer that hung or failed is not run again until the file changes.
QString failureMarkerPath(const QUrl &url) {
    return cacheDirectory() + QStringLiteral("fail/kestrova-" KESTROVA_VERSION "/") + cacheFileName(url);
}

bool hasFreshFailureMarker(const QUrl &url, const struct stat &status) {
    QImageReader reader(failureMarkerPath(url), "png");
    reader.setAllocationLimit(1);
    const QImage marker = reader.read();
    return !marker.isNull() && isStampedWith(marker, status);
}

// The thumbnail that the desktop's thumbnailer for the file's type makes, stored in the cache's folder for
// `fitting`, or nothing; a failure is remembered for this version of the file.
std::optional<QImage> desktopThumbnail(const QUrl &url, const QByteArray &path, const QString &type,
                                       const QSize &fitting) {
    struct stat status {};
    if (::stat(path.constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        hasFreshFailureMarker(url, status))
        return std::nullopt;
    const auto thumbnailer = DesktopThumbnailer::forContentType(type);
    if (!thumbnailer)
        return std::nullopt;
    const int side = kCacheFolders[cacheFolderIndex(std::max(fitting.width(), fitting.height()))].second;
    std::optional<QImage> picture = thumbnailer->run(path, url, side);
    if (!picture) {
        QImage marker(1, 1, QImage::Format_ARGB32);
        marker.fill(Qt::transparent);
        storeStamped(url, marker, status, failureMarkerPath(url));
        return std::nullopt;
    }
    storeStamped(url, *picture, status,
                 cacheDirectory() + QString::fromLatin1(kCacheFolders[cacheFolderIndex(side)].first) +
                     QLatin1Char('/') + cacheFileName(url));
    if (picture->width() > fitting.width() || picture->height() > fitting.height())
        picture = picture->scaled(fitting, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return picture;
}

QImage framed(const QImage &picture) {
    QImage result = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&result);
    painter.setPen(QColor(0, 0, 0, 60));
    painter.drawRect(QRectF(result.rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    return result;
}

} // namespace

std::optional<QImage> cachedThumbnail(const QUrl &url, QSize fitting) {
    const QByteArray path = localPath(url);
    if (path.isEmpty() || fitting.isEmpty())
        return std::nullopt;
    return cachedThumbnail(url, path, fitting);
}

bool storeThumbnail(const QUrl &url, const QImage &picture) {
    struct stat status {};
    const QByteArray path = localPath(url);
    if (picture.isNull() || path.isEmpty() || ::stat(path.constData(), &status) != 0)
        return false;
    const int longestSide = std::max(picture.width(), picture.height());
    const auto &[folder, side] = kCacheFolders[cacheFolderIndex(longestSide)];
    const QImage fitted = longestSide > side
                              ? picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              : picture;
    return storeStamped(url, fitted, status,
                        cacheDirectory() + QString::fromLatin1(folder) + QLatin1Char('/') +
                            cacheFileName(url));
}

std::optional<QImage> quickLookThumbnail(const QUrl &url, QSizeF maxSize, double scale, bool asIcon) {
    const QSize fitting = (maxSize * (scale > 0 ? scale : 1.0)).toSize();
    if (fitting.isEmpty())
        return std::nullopt;
    const QByteArray path = localPath(url);
    const auto type = contentType(url);
    if (path.isEmpty() || !type || type->startsWith(QLatin1String("inode/")))
        return std::nullopt;
    std::optional<QImage> picture = cachedThumbnail(url, path, fitting);
    const bool isPicture = type->startsWith(QLatin1String("image/"));
    const bool isOurs = isPicture && QImageReader::supportedMimeTypes().contains(type->toLatin1());
    if (!picture && isPicture)
        picture = readImage(path, fitting);
    // A picture of a format our own reader knows is drawn by it or not at all: what it refuses (a header
    // claiming a huge size, damage) would cost a desktop thumbnailer the same memory and time. Nor does a
    // drawing that may refer to other files (SVG) go elsewhere: another program would follow those
    // references.
    if (!picture && !isOurs && !type->startsWith(QLatin1String("image/svg")))
        picture = desktopThumbnail(url, path, *type, fitting);
    if (!picture)
        return std::nullopt;
    picture->setDevicePixelRatio(scale > 0 ? scale : 1.0);
    return asIcon ? framed(*picture) : *picture;
}

} // namespace kestrova::url

#include "Thumbnail.h"

#include "ContainedImageReader.h"
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
    const bool large = fitting.width() > 128 || fitting.height() > 128;
    for (const QString &folder : large ? QStringList{QStringLiteral("large/"), QStringLiteral("x-large/")}
                                       : QStringList{QStringLiteral("normal/"), QStringLiteral("large/")}) {
        // The reader's own text lookup cannot see keys with colons, so the stamp is read off the image.
        const QString stamp = QString::number(status.st_mtim.tv_sec);
        auto image =
            readImage(QFile::encodeName(cache + folder) + name, fitting, [&stamp](const QImage &picture) {
                return picture.text(QStringLiteral("Thumb::MTime")) == stamp;
            });
        if (image)
            return image;
    }
    return std::nullopt;
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
    const auto &[folder, side] =
        *std::find_if(std::begin(kCacheFolders), std::end(kCacheFolders) - 1,
                      [longestSide](const auto &entry) { return longestSide <= entry.second; });
    QImage stamped = longestSide > side
                         ? picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                         : picture;
    stamped.setText(QStringLiteral("Thumb::URI"), QString::fromLatin1(url.toEncoded()));
    stamped.setText(QStringLiteral("Thumb::MTime"), QString::number(status.st_mtim.tv_sec));
    stamped.setText(QStringLiteral("Thumb::Size"), QString::number(status.st_size));
    const QString directory = cacheDirectory() + QString::fromLatin1(folder);
    if (!QDir().mkpath(directory))
        return false;
    // The cache is private to the user: the folders are 0700 and every thumbnail 0600.
    ::chmod(QFile::encodeName(cacheDirectory()).constData(), 0700);
    ::chmod(QFile::encodeName(directory).constData(), 0700);
    QSaveFile file(directory + QLatin1Char('/') + cacheFileName(url));
    if (!file.open(QIODevice::WriteOnly) || ::fchmod(file.handle(), 0600) != 0 || !stamped.save(&file, "PNG"))
        return false;
    return file.commit();
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
    if (!picture && type->startsWith(QLatin1String("image/")))
        picture = readImage(path, fitting);
    if (!picture)
        return std::nullopt;
    picture->setDevicePixelRatio(scale > 0 ? scale : 1.0);
    return asIcon ? framed(*picture) : *picture;
}

} // namespace kestrova::url

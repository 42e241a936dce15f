#include "Thumbnail.h"

#include "FileSystemCalls_p.h"
#include "FileUrl.h"
#include "ResourceValues.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

namespace kestrova::url {
namespace {

// Reads the image at `path` only when it is a regular file, so that no FIFO or device can block the reader.
// Large pictures are decoded straight at the fitting size; `validate` sees the decoded picture first.
std::optional<QImage> readImage(const QByteArray &path, const QSize &fitting,
                                const std::function<bool(const QImage &)> &validate = {}) {
    QFile file;
    if (!openRegularFileForReading(path, file))
        return std::nullopt;
    QImageReader reader(&file);
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
    const QByteArray name = QCryptographicHash::hash(url.toEncoded(), QCryptographicHash::Md5).toHex() +
                            QByteArrayLiteral(".png");
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QStringLiteral("/thumbnails/");
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

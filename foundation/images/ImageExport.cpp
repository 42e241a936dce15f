#include "ImageExport.h"

#include "foundation/app/KitHelpers.h"
#include "foundation/app/KvApp.h"
#include "foundation/cli/CommandLineArguments.h"
#include "foundation/errors/GeneralError.h"
#include "foundation/files/ExtendedAttributes.h"
#include "foundation/files/FileUrl.h"
#include "foundation/files/UniqueFileUrl.h"
#include "foundation/files/WellKnownFolders.h"
#include "foundation/text/TextFormatting.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QMimeDatabase>
#include <QtMath>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova {

namespace {

const QString kWriteErrorDomain = QStringLiteral("Kestrova.CGImage.WriteError");

QString typeDescription(const QUrl &url) {
    const QString extension = QFileInfo(url.fileName()).suffix();
    const QList<QMimeType> types = QMimeDatabase().mimeTypesForFileName(url.fileName());
    if (!types.isEmpty() && !types.first().comment().isEmpty())
        return types.first().comment();
    return extension;
}

QString writeErrorDescription(ImageWriteError::Kind kind, const QUrl &url) {
    switch (kind) {
    case ImageWriteError::Kind::unsupportedFileType:
        return QStringLiteral("The file type “%1” is not supported.").arg(typeDescription(url));
    case ImageWriteError::Kind::destination:
        return QStringLiteral("Failed to access “%1”. The destination either doesn't exist or you don't "
                              "have permission to write to it.")
            .arg(ImageWriteError::displayPath(url));
    case ImageWriteError::Kind::write:
        return QStringLiteral("Failed to write image to “%1”").arg(ImageWriteError::displayPath(url));
    }
    return {};
}

QString kindName(ImageWriteError::Kind kind) {
    switch (kind) {
    case ImageWriteError::Kind::unsupportedFileType:
        return QStringLiteral("unsupportedFileType");
    case ImageWriteError::Kind::destination:
        return QStringLiteral("destination");
    case ImageWriteError::Kind::write:
        return QStringLiteral("write");
    }
    return {};
}

UserInfo writeErrorUserInfo(const QUrl &url, const std::optional<Error> &underlyingError) {
    UserInfo info{{ErrorKey::url, url}};
    if (underlyingError)
        info.insert(ErrorKey::underlyingError, QVariant::fromValue(*underlyingError));
    return info;
}

// The bitmap scaled down so that its longer side is at most `maxPixelSize`.
QImage fitted(const QImage &bitmap, std::optional<int> maxPixelSize) {
    if (!maxPixelSize || *maxPixelSize <= 0 || std::max(bitmap.width(), bitmap.height()) <= *maxPixelSize)
        return bitmap;
    return bitmap.scaled(*maxPixelSize, *maxPixelSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

const char *qtFormat(ImageFileType type) {
    switch (type) {
    case ImageFileType::png:
        return "png";
    case ImageFileType::jpeg:
        return "jpeg";
    case ImageFileType::tiff:
        return "tiff";
    case ImageFileType::heic:
    case ImageFileType::gif:
        break;
    }
    return nullptr;
}

Error posixWriteError(int code, const QUrl &url) {
    return posixError(code, QStringLiteral("Writing “%1”").arg(ImageWriteError::displayPath(url)));
}

// A file with the bytes in the destination's folder, under a hidden name, removed unless committed.
class PendingFile {
public:
    PendingFile(const QUrl &destination, const QByteArray &data) {
        const QByteArray folder = url::localPath(destination.adjusted(QUrl::RemoveFilename));
        m_path = folder + (folder.endsWith('/') ? "" : "/") + ".kestrova-image-XXXXXX";
        const int fd = ::mkostemp(m_path.data(), O_CLOEXEC);
        if (fd < 0) {
            const int code = errno;
            m_path.clear();
            // A full disk is a failed write; anything else means the folder cannot take the file.
            const bool full = code == ENOSPC || code == EDQUOT;
            throw ImageWriteError(full ? ImageWriteError::Kind::write : ImageWriteError::Kind::destination,
                                  destination, posixWriteError(code, destination));
        }
        int code = FileHandle::writeAll(fd, data);
        if (code == 0 && (::fchmod(fd, 0644 & ~currentUmask()) != 0 || ::fsync(fd) != 0))
            code = errno;
        ::close(fd);
        if (code != 0) {
            ::unlink(m_path.constData());
            m_path.clear();
            throw ImageWriteError(ImageWriteError::Kind::write, destination,
                                  posixWriteError(code, destination));
        }
    }
    ~PendingFile() {
        if (!m_path.isEmpty())
            ::unlink(m_path.constData());
    }
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    QUrl temporaryURL() const { return url::fromLocalPath(m_path); }

    // Moves the file to `url`, replacing what is there.
    void replace(const QUrl &url) {
        if (::rename(m_path.constData(), url::localPath(url).constData()) != 0)
            throw ImageWriteError(ImageWriteError::Kind::write, url, posixWriteError(errno, url));
        m_path.clear();
    }
    // Gives the file the name `url` unless something has it; false when it has been taken.
    bool claim(const QUrl &url) {
        if (::link(m_path.constData(), url::localPath(url).constData()) != 0) {
            if (errno == EEXIST)
                return false;
            throw ImageWriteError(ImageWriteError::Kind::write, url, posixWriteError(errno, url));
        }
        ::unlink(m_path.constData());
        m_path.clear();
        return true;
    }

private:
    // The process's file mode mask, as the kernel reports it: asking umask() would have to change it.
    static mode_t currentUmask() {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : status.readAll().split('\n')) {
                if (line.startsWith("Umask:"))
                    return mode_t(line.mid(6).trimmed().toUInt(nullptr, 8));
            }
        }
        return 022;
    }

    QByteArray m_path;
};

} // namespace

std::optional<ImageFileType> imageFileType(const QString &pathExtension) {
    if (pathExtension == QLatin1String("png"))
        return ImageFileType::png;
    if (pathExtension == QLatin1String("jpg") || pathExtension == QLatin1String("jpeg"))
        return ImageFileType::jpeg;
    if (pathExtension == QLatin1String("heic"))
        return ImageFileType::heic;
    if (pathExtension == QLatin1String("tif") || pathExtension == QLatin1String("tiff"))
        return ImageFileType::tiff;
    if (pathExtension == QLatin1String("gif"))
        return ImageFileType::gif;
    return std::nullopt;
}

ImageWriteError::ImageWriteError(Kind kind, const QUrl &url, const std::optional<Error> &underlyingError)
    : Error(kWriteErrorDomain, qint64(kind), writeErrorUserInfo(url, underlyingError),
            QStringLiteral("CGImage.WriteError.%1(%2)").arg(kindName(kind), url.toString()),
            ProvidedTexts{writeErrorDescription(kind, url),
                          underlyingError ? std::optional(underlyingError->localizedDescription())
                                          : std::nullopt,
                          std::nullopt, std::nullopt}) {}

QUrl ImageWriteError::url() const {
    return userInfo().value(ErrorKey::url).toUrl();
}

QString ImageWriteError::displayPath(const QUrl &url) {
    const QString path = url.path();
    QString home = url::realHomeDirectory().path();
    while (home.size() > 1 && home.endsWith(QLatin1Char('/')))
        home.chop(1);
    if (home.size() > 1 && (path == home || path.startsWith(home + QLatin1Char('/'))))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

QString debugDescription(ImagePixelFormat format) {
    static const char *const names[] = {"ARGB", "RGBA", "BGRA", "ABGR"};
    return QStringLiteral("CGImage.PixelFormat(%1)").arg(QLatin1String(names[int(format)]));
}

std::optional<QByteArray> imageData(const QImage &bitmap, ImageFileType type, std::optional<int> maxPixelSize,
                                    std::optional<int> dpi, double quality, const QVariantMap &properties) {
    if (bitmap.isNull())
        return std::nullopt;
    QImage image = fitted(bitmap, maxPixelSize);
    const double clampedQuality = std::clamp(std::isnan(quality) ? 1.0 : quality, 0.0, 1.0);
    if (type == ImageFileType::heic)
        return heicData(image, clampedQuality);
    if (type == ImageFileType::gif)
        return gifData(image);
    const char *format = qtFormat(type);
    if (!format)
        return std::nullopt;
    if (dpi && *dpi != 72 && *dpi > 0) {
        const int dotsPerMeter = qRound(*dpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (type == ImageFileType::jpeg)
        writer.setQuality(qRound(clampedQuality * 100));
    for (auto entry = properties.cbegin(); entry != properties.cend(); ++entry) {
        if (entry.value().typeId() == QMetaType::QString)
            writer.setText(entry.key(), entry.value().toString());
    }
    if (!writer.write(image))
        return std::nullopt;
    return bytes;
}

KvImage::KvImage(QImage bitmap)
    : m_bitmap(std::move(bitmap))
    , m_size(m_bitmap.size()) {}

KvImage::KvImage(QImage bitmap, QSizeF pointSize)
    : m_bitmap(std::move(bitmap))
    , m_size(pointSize) {}

QUrl KvImage::write(const QUrl &url, std::optional<int> maxPixelSize, std::optional<int> dpi,
                    double compressionQuality, bool isScreenshot) const {
    const std::optional<ImageFileType> type = imageFileType(QFileInfo(url.fileName()).suffix());
    if (!type || !url.fileName().contains(QLatin1Char('.')))
        throw ImageWriteError(ImageWriteError::Kind::unsupportedFileType, url);
    return write(url, *type, /*uniqueName=*/false, maxPixelSize, dpi, compressionQuality, isScreenshot);
}

QUrl KvImage::write(const QUrl &url, ImageFileType type, bool uniqueName, std::optional<int> maxPixelSize,
                    std::optional<int> dpi, double compressionQuality, bool isScreenshot) const {
    if (m_bitmap.isNull())
        throw appError(QStringLiteral("Could not get CGImage from image."));
    if (url::localPath(url).isEmpty())
        throw ImageWriteError(ImageWriteError::Kind::destination, url);
    const std::optional<QByteArray> data =
        imageData(m_bitmap, type, maxPixelSize, dpi, compressionQuality, m_properties);
    if (!data)
        throw appError(QStringLiteral("Could not convert image to data."));

    PendingFile pending(url, *data);
    if (isScreenshot) {
        try {
            ExtendedAttributes(pending.temporaryURL())
                .set(true, QStringLiteral("com.apple.metadata:kMDItemIsScreenCapture"));
        } catch (const Error &error) {
            throw ImageWriteError(ImageWriteError::Kind::write, url, error);
        }
    }
    if (!uniqueName) {
        pending.replace(url);
        return url;
    }
    // A name is free when looked at, and may be taken before the file gets it: then the next one is tried.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QUrl destination = uniqueFileURL(url);
        if (pending.claim(destination))
            return destination;
    }
    throw ImageWriteError(ImageWriteError::Kind::write, url, posixWriteError(EEXIST, url));
}

std::optional<QByteArray> KvImage::pngData() const {
    return imageData(m_bitmap, ImageFileType::png);
}

KvImage KvImage::copy(bool isTemplate) const {
    KvImage image = *this;
    image.m_isTemplate = isTemplate;
    return image;
}

double KvImage::pixelScale() const {
    const QSizeF pixelSize = m_bitmap.isNull() ? m_size : QSizeF(m_bitmap.size());
    if (pixelSize.width() > 0 && m_size.width() > 0)
        return pixelSize.width() / m_size.width();
    const auto text = [](QSizeF size) {
        return describe(size.width()) + QStringLiteral(" x ") + describe(size.height());
    };
    KvApp::reportError(
        GeneralError(QStringLiteral("pixelSize or size is zero")),
        {{QStringLiteral("pixelSize"), text(pixelSize)}, {QStringLiteral("size"), text(m_size)}});
    return 1;
}

} // namespace kestrova

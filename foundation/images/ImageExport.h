#pragma once

#include "foundation/errors/Error.h"

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QUrl>
#include <QVariantMap>

#include <any>
#include <optional>
#include <vector>

namespace kestrova {

// The file formats an image is written in, chosen by a file's extension.
enum class ImageFileType { png, jpeg, heic, tiff, gif };

// The format for an extension, compared exactly: "png", "jpg"/"jpeg", "heic", "tif"/"tiff", "gif". Upper-case
// forms and anything else give nothing.
std::optional<ImageFileType> imageFileType(const QString &pathExtension);

// Why an image could not be written to a file. Domain "Kestrova.CGImage.WriteError"; the description names
// the file, with the home folder shown as "~".
class ImageWriteError : public Error {
public:
    enum class Kind { unsupportedFileType = 0, destination = 1, write = 2 };

    ImageWriteError(Kind kind, const QUrl &url, const std::optional<Error> &underlyingError = std::nullopt);

    Kind kind() const { return Kind(code()); }
    QUrl url() const;

    // The file's path with the real home folder shown as "~" (only where a whole path component matches:
    // "/home/bobby" is not inside "/home/bob").
    static QString displayPath(const QUrl &url);
};

// What can ride along with an image: its resolution and whether it is a screenshot.
struct ImageCustomMetadata {
    int dpi = 72;
    bool isScreenshot = false;
};

// The order of the four components of a pixel.
enum class ImagePixelFormat { argb, rgba, bgra, abgr };
// "CGImage.PixelFormat(ARGB)" and so on.
QString debugDescription(ImagePixelFormat format);

// Encodes the bitmap in the given format, or nothing when the format cannot be made from it. `quality` runs
// from 0 to 1 and matters to the lossy formats; `maxPixelSize` scales the image down (never up) so that its
// longer side fits; `dpi` other than 72 is written as the resolution where the format has one (PNG, JPEG,
// TIFF). Text values of `properties` are written as the file's text entries where the format keeps them.
// A GIF gets at most 256 colours, dithered, and one transparent colour.
std::optional<QByteArray> imageData(const QImage &bitmap, ImageFileType type,
                                    std::optional<int> maxPixelSize = std::nullopt,
                                    std::optional<int> dpi = std::nullopt, double quality = 1,
                                    const QVariantMap &properties = {});

// A picture in memory as the kit hands it around: a bitmap (which may be missing), the size in points it is
// drawn at, whether it is a template (drawn in the text colour), and what rides along with it.
class KvImage {
public:
    KvImage() = default;
    // A bitmap drawn at one point per pixel.
    explicit KvImage(QImage bitmap);
    KvImage(QImage bitmap, QSizeF pointSize);

    const QImage &bitmap() const { return m_bitmap; }
    QSizeF size() const { return m_size; }
    bool isTemplate() const { return m_isTemplate; }
    const std::optional<ImageCustomMetadata> &customMetadata() const { return m_customMetadata; }
    void setCustomMetadata(std::optional<ImageCustomMetadata> metadata) { m_customMetadata = metadata; }
    // The properties the encoder starts from.
    const QVariantMap &properties() const { return m_properties; }
    void setProperties(QVariantMap properties) { m_properties = std::move(properties); }

    // Writes the image in the format of the file's extension (see imageFileType), replacing any file there;
    // gives the URL written. Throws ImageWriteError (unsupported extension; a folder that cannot be written
    // to; a failed write, with the system's reason as the underlying error) or the application error "Could
    // not get CGImage from image." / "Could not convert image to data.". The file is whole or absent, never
    // partial; a screenshot carries the attribute "com.apple.metadata:kMDItemIsScreenCapture" (in the
    // "user." namespace), set before the file appears, so a file system that refuses it gets no file.
    QUrl write(const QUrl &url, std::optional<int> maxPixelSize = std::nullopt,
               std::optional<int> dpi = std::nullopt, double compressionQuality = 1,
               bool isScreenshot = false) const;
    // The same in an explicit format; with `uniqueName` the file gets the first free numbered name
    // (uniqueFileURL), and a file that appears under that name meanwhile is never replaced: the next number
    // is taken.
    QUrl write(const QUrl &url, ImageFileType type, bool uniqueName,
               std::optional<int> maxPixelSize = std::nullopt, std::optional<int> dpi = std::nullopt,
               double compressionQuality = 1, bool isScreenshot = false) const;

    // PNG bytes of the image with no properties; nothing without a bitmap.
    std::optional<QByteArray> pngData() const;
    // A copy with the template flag given; this image keeps its own.
    KvImage copy(bool isTemplate) const;
    // Pixel width ÷ point width. Where either is zero, the fault is reported and the answer is 1.
    double pixelScale() const;

private:
    QImage m_bitmap;
    QSizeF m_size;
    bool m_isTemplate = false;
    std::optional<ImageCustomMetadata> m_customMetadata;
    QVariantMap m_properties;
};

// HEIC bytes of the bitmap through libheif's HEVC encoder, or nothing where it has none.
std::optional<QByteArray> heicData(const QImage &bitmap, double quality);
// GIF bytes of the bitmap through giflib.
std::optional<QByteArray> gifData(const QImage &bitmap);

} // namespace kestrova

#include "Image.h"

#include <QBuffer>
#include <QImageReader>

namespace kestrova::platform {

std::optional<Image> Image::fromQImage(const QImage &image) {
    if (image.isNull())
        return std::nullopt;
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return std::nullopt;
    return Image(std::move(data), image.size());
}

std::optional<Image> Image::fromPngData(const QByteArray &pngData) {
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (!pngData.startsWith(signature))
        return std::nullopt;
    QByteArray copy = pngData;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return std::nullopt;
    return Image(pngData, size);
}

QImage Image::toQImage() const {
    QImage image;
    image.loadFromData(m_pngData, "PNG");
    return image;
}

} // namespace kestrova::platform

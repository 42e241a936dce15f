#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

namespace kestrova::platform {

// A picture supplied by the user, held as PNG bytes and decoded only when it is drawn: stored records are
// read far more often than their images are shown. Only a picture with pixels is an Image, so every value
// has an archived form (KeyedArchive). Equal images have identical bytes.
class Image {
public:
    // Nothing for a null image (or one PNG cannot hold).
    static std::optional<Image> fromQImage(const QImage &image);
    // Nothing unless `pngData` starts with a PNG header that gives a size; the pixels are not decoded here.
    static std::optional<Image> fromPngData(const QByteArray &pngData);

    const QByteArray &pngData() const { return m_pngData; }
    // The size in pixels, from the header.
    QSize size() const { return m_size; }
    // The decoded pixels; a null image when the data turns out to be damaged past its header.
    QImage toQImage() const;

    bool operator==(const Image &other) const { return m_pngData == other.m_pngData; }

private:
    Image(QByteArray pngData, QSize size)
        : m_pngData(std::move(pngData))
        , m_size(size) {}

    QByteArray m_pngData;
    QSize m_size;
};

} // namespace kestrova::platform

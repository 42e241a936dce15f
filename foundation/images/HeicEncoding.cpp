// HEIC through libheif, kept apart so that its C interface stays in one file.
#include "ImageExport.h"

#include "foundation/media/MediaLibraries.h"

#include <cstring>
#include <memory>

namespace kestrova {

namespace {

// Only reached once heicData saw the library load.
const media::Libheif &heif() {
    return *media::libheif();
}

struct ContextDeleter {
    void operator()(heif_context *context) const { heif().heif_context_free(context); }
};
struct EncoderDeleter {
    void operator()(heif_encoder *encoder) const { heif().heif_encoder_release(encoder); }
};
struct ImageDeleter {
    void operator()(heif_image *image) const { heif().heif_image_release(image); }
};

heif_error appendBytes(heif_context *, const void *data, size_t size, void *userData) {
    static_cast<QByteArray *>(userData)->append(static_cast<const char *>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

} // namespace

std::optional<QByteArray> heicData(const QImage &bitmap, double quality) {
    if (bitmap.isNull() || !media::libheif())
        return std::nullopt;
    const bool hasAlpha = bitmap.hasAlphaChannel();
    const QImage pixels = bitmap.convertToFormat(hasAlpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);

    std::unique_ptr<heif_context, ContextDeleter> context(heif().heif_context_alloc());
    heif_encoder *rawEncoder = nullptr;
    if (!context ||
        heif().heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder).code !=
            heif_error_Ok)
        return std::nullopt;
    std::unique_ptr<heif_encoder, EncoderDeleter> encoder(rawEncoder);
    heif().heif_encoder_set_lossy_quality(encoder.get(), int(quality * 100 + 0.5));

    heif_image *rawImage = nullptr;
    if (heif()
            .heif_image_create(pixels.width(), pixels.height(), heif_colorspace_RGB,
                               hasAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                               &rawImage)
            .code != heif_error_Ok)
        return std::nullopt;
    std::unique_ptr<heif_image, ImageDeleter> image(rawImage);
    if (heif()
            .heif_image_add_plane(image.get(), heif_channel_interleaved, pixels.width(), pixels.height(), 8)
            .code != heif_error_Ok)
        return std::nullopt;
    int stride = 0;
    uint8_t *plane = heif().heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    if (!plane)
        return std::nullopt;
    const size_t rowBytes = size_t(pixels.width()) * (hasAlpha ? 4 : 3);
    for (int row = 0; row < pixels.height(); ++row)
        std::memcpy(plane + size_t(row) * size_t(stride), pixels.constScanLine(row), rowBytes);

    if (heif().heif_context_encode_image(context.get(), image.get(), encoder.get(), nullptr, nullptr).code !=
        heif_error_Ok)
        return std::nullopt;
    QByteArray bytes;
    heif_writer writer{1, appendBytes};
    if (heif().heif_context_write(context.get(), &writer, &bytes).code != heif_error_Ok || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

} // namespace kestrova

// GIF through giflib, kept apart so that its C interface stays in one file.
#include "ImageExport.h"

#include <gif_lib.h>

namespace kestrova {

namespace {

int appendBytes(GifFileType *file, const GifByteType *data, int length) {
    static_cast<QByteArray *>(file->UserData)->append(reinterpret_cast<const char *>(data), length);
    return length;
}

struct GifWriter {
    GifFileType *file = nullptr;
    ColorMapObject *colours = nullptr;
    ~GifWriter() {
        if (file)
            EGifCloseFile(file, nullptr);
        if (colours)
            GifFreeMapObject(colours);
    }
};

} // namespace

std::optional<QByteArray> gifData(const QImage &bitmap) {
    if (bitmap.isNull())
        return std::nullopt;
    // At most 256 colours, chosen by Qt for this picture and dithered; pixels more transparent than opaque
    // take the one transparent entry a GIF may have.
    const QImage indexed = bitmap.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither);
    const QList<QRgb> table = indexed.colorTable();
    if (table.isEmpty() || table.size() > 256)
        return std::nullopt;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (int index = 0; index < table.size() && transparentIndex == NO_TRANSPARENT_COLOR; ++index) {
        if (qAlpha(table[index]) < 128)
            transparentIndex = index;
    }
    // A GIF palette has a power of two entries, two at least.
    int bits = 1;
    while ((1 << bits) < table.size())
        ++bits;

    QByteArray bytes;
    GifWriter writer;
    writer.colours = GifMakeMapObject(1 << bits, nullptr);
    if (!writer.colours)
        return std::nullopt;
    for (int index = 0; index < (1 << bits); ++index) {
        const QRgb colour = index < table.size() ? table[index] : qRgb(0, 0, 0);
        writer.colours->Colors[index] = {GifByteType(qRed(colour)), GifByteType(qGreen(colour)),
                                         GifByteType(qBlue(colour))};
    }
    int error = 0;
    writer.file = EGifOpen(&bytes, appendBytes, &error);
    if (!writer.file)
        return std::nullopt;
    EGifSetGifVersion(writer.file, true);
    if (EGifPutScreenDesc(writer.file, indexed.width(), indexed.height(), bits, 0, writer.colours) != GIF_OK)
        return std::nullopt;
    if (transparentIndex != NO_TRANSPARENT_COLOR) {
        const GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, transparentIndex};
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(writer.file, GRAPHICS_EXT_FUNC_CODE, int(length), extension) != GIF_OK)
            return std::nullopt;
    }
    if (EGifPutImageDesc(writer.file, 0, 0, indexed.width(), indexed.height(), false, nullptr) != GIF_OK)
        return std::nullopt;
    for (int row = 0; row < indexed.height(); ++row) {
        // giflib reads the line only.
        auto *line = const_cast<GifByteType *>(indexed.constScanLine(row));
        if (EGifPutLine(writer.file, line, indexed.width()) != GIF_OK)
            return std::nullopt;
    }
    const int closed = EGifCloseFile(writer.file, &error);
    writer.file = nullptr;
    if (closed != GIF_OK)
        return std::nullopt;
    return bytes;
}

} // namespace kestrova

#include "TestMedia.h"

#include <zlib.h>

#include <QImage>

#include <QBuffer>

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <memory>

namespace kestrova::testing {
namespace {

struct Output {
    AVFormatContext *format = nullptr;
    AVCodecContext *encoder = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    ~Output() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&encoder);
        if (format && format->pb)
            avio_closep(&format->pb);
        avformat_free_context(format);
    }
};

bool writePackets(Output &output, AVStream *stream, const AVFrame *frame) {
    if (avcodec_send_frame(output.encoder, frame) < 0)
        return false;
    for (;;) {
        const int result = avcodec_receive_packet(output.encoder, output.packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0)
            return false;
        av_packet_rescale_ts(output.packet, output.encoder->time_base, stream->time_base);
        output.packet->stream_index = stream->index;
        if (av_interleaved_write_frame(output.format, output.packet) < 0)
            return false;
    }
}

void fill(AVFrame *frame, const TestMovie &movie, int number) {
    for (int y = 0; y < frame->height; ++y) {
        for (int x = 0; x < frame->width; ++x) {
            const QColor color = movie.colorAt(number, x, y);
            const int r = color.red(), g = color.green(), b = color.blue();
            frame->data[0][y * frame->linesize[0] + x] =
                uint8_t((66 * r + 129 * g + 25 * b + 128) / 256 + 16);
            if (x % 2 == 0 && y % 2 == 0) {
                frame->data[1][(y / 2) * frame->linesize[1] + x / 2] =
                    uint8_t((-38 * r - 74 * g + 112 * b + 128) / 256 + 128);
                frame->data[2][(y / 2) * frame->linesize[2] + x / 2] =
                    uint8_t((112 * r - 94 * g - 18 * b + 128) / 256 + 128);
            }
        }
    }
}

} // namespace

bool writeTestMovie(const QString &path, const TestMovie &movie) {
    Output output;
    const QByteArray name = QFile::encodeName(path);
    if (avformat_alloc_output_context2(&output.format, nullptr, nullptr, name.constData()) < 0)
        return false;
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    AVStream *stream = codec ? avformat_new_stream(output.format, nullptr) : nullptr;
    output.encoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!stream || !output.encoder)
        return false;
    output.encoder->width = movie.size.width();
    output.encoder->height = movie.size.height();
    output.encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    output.encoder->time_base = {1, 25};
    output.encoder->framerate = {25, 1};
    output.encoder->gop_size = 5;
    output.encoder->bit_rate = 2'000'000;
    if (output.format->oformat->flags & AVFMT_GLOBALHEADER)
        output.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(output.encoder, codec, nullptr) < 0 ||
        avcodec_parameters_from_context(stream->codecpar, output.encoder) < 0)
        return false;
    stream->time_base = output.encoder->time_base;
    if (movie.rotationDegrees != 0) {
        auto *matrix = reinterpret_cast<int32_t *>(
            av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
        if (!matrix)
            return false;
        av_display_rotation_set(matrix, movie.rotationDegrees);
    }
    if (avio_open(&output.format->pb, name.constData(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(output.format, nullptr) < 0)
        return false;
    output.frame = av_frame_alloc();
    output.packet = av_packet_alloc();
    if (!output.frame || !output.packet)
        return false;
    output.frame->format = AV_PIX_FMT_YUV420P;
    output.frame->width = movie.size.width();
    output.frame->height = movie.size.height();
    if (av_frame_get_buffer(output.frame, 0) < 0)
        return false;
    for (int number = 0; number < movie.frameCount; ++number) {
        if (av_frame_make_writable(output.frame) < 0)
            return false;
        fill(output.frame, movie, number);
        output.frame->pts = number;
        if (!writePackets(output, stream, output.frame))
            return false;
    }
    return writePackets(output, stream, nullptr) && av_write_trailer(output.format) == 0;
}

bool writeTestPdf(const QString &path) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A6));
    writer.setResolution(72);
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    painter.fillRect(QRect(20, 20, 200, 120), QColor(30, 120, 200));
    painter.setPen(Qt::black);
    painter.drawText(QRect(20, 160, 250, 40), QStringLiteral("Kestrova test document"));
    return painter.end();
}

QByteArray pngClaiming(quint32 width, quint32 height) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImage(2, 2, QImage::Format_RGB32).save(&buffer, "PNG");
    QByteArray png = buffer.data();
    // Signature (8), chunk length (4), "IHDR" (4), then width and height, then the chunk's CRC.
    for (int index = 0; index < 4; ++index) {
        png[16 + index] = char(width >> (24 - 8 * index));
        png[20 + index] = char(height >> (24 - 8 * index));
    }
    const quint32 crc = quint32(::crc32(0, reinterpret_cast<const Bytef *>(png.constData() + 12), 17));
    for (int index = 0; index < 4; ++index)
        png[29 + index] = char(crc >> (24 - 8 * index));
    return png;
}

} // namespace kestrova::testing

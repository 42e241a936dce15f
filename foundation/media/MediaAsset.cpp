#include "MediaAsset.h"

#include "foundation/errors/Error.h"
#include "foundation/files/FileSystemCalls_p.h"
#include "foundation/media/MediaLibraries.h"

#include <QFile>

#include <cerrno>
#include <cmath>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova {

using Clock = std::chrono::steady_clock;

namespace {

// Only reached once MediaAsset::open saw the libraries load: every other use is on an open asset.
const media::Libav &av() {
    return *media::libav();
}

} // namespace

struct MediaAsset::Reading {
    int fd = -1;
    Clock::time_point deadline;
    qint64 consumed = 0;
    AVIOContext *io = nullptr;
    AVFormatContext *format = nullptr;
    bool hasStreamInfo = false;

    bool isOverTime() const { return Clock::now() >= deadline; }

    ~Reading() {
        // With our own reader the format context leaves the reader to us.
        av().avformat_close_input(&format);
        if (io) {
            av().av_freep(&io->buffer);
            av().avio_context_free(&io);
        }
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

constexpr int kReadBufferSize = 64 * 1024;

QString libraryErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av().av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

Error mediaError(int code, const QByteArray &path) {
    return Error(
        ErrorDomain::media, code,
        {{ErrorKey::localizedDescription, QStringLiteral("The movie “%1” could not be read: %2")
                                              .arg(QFile::decodeName(path), libraryErrorText(code))}});
}

int readPacket(void *opaque, uint8_t *buffer, int size) {
    auto *reading = static_cast<MediaAsset::Reading *>(opaque);
    if (reading->isOverTime())
        return AVERROR_EXIT;
    if (reading->consumed >= MediaAsset::kReadingBudget)
        return AVERROR(EFBIG);
    for (;;) {
        const ssize_t count = ::read(reading->fd, buffer, size_t(size));
        if (count > 0) {
            reading->consumed += count;
            return int(count);
        }
        if (count == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

int64_t seekTo(void *opaque, int64_t offset, int whence) {
    auto *reading = static_cast<MediaAsset::Reading *>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat status {};
        return ::fstat(reading->fd, &status) == 0 ? int64_t(status.st_size) : AVERROR(errno);
    }
    const off_t position = ::lseek(reading->fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : int64_t(position);
}

int interruptWhenOverTime(void *opaque) {
    return static_cast<MediaAsset::Reading *>(opaque)->isOverTime() ? 1 : 0;
}

// Damaged movies make the library complain on the standard error; nothing there is for the user.
void silenceLibraryLog() {
    static std::once_flag silenced;
    std::call_once(silenced, [] { av().av_log_set_level(AV_LOG_QUIET); });
}

bool isDecodable(int width, int height) {
    return width > 0 && height > 0 && qint64(width) * height <= MediaAsset::kMaximumFramePixels &&
           av().av_image_check_size(unsigned(width), unsigned(height), 0, nullptr) == 0;
}

// The linear part of the track's display matrix (16.16 fixed point, rows a b u / c d v / x y w).
QTransform displayTransform(const AVStream *stream) {
    size_t size = 0;
    const auto *matrix = reinterpret_cast<const int32_t *>(
        av().av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size));
    if (!matrix || size < 9 * sizeof(int32_t))
        return {};
    constexpr double kOne = 65536.0;
    return QTransform(matrix[0] / kOne, matrix[1] / kOne, matrix[3] / kOne, matrix[4] / kOne, 0, 0);
}

struct CodecContextDeleter {
    void operator()(AVCodecContext *context) const { av().avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame *frame) const { av().av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket *packet) const { av().av_packet_free(&packet); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

CodecContext openDecoder(const AVStream *stream) {
    const AVCodecParameters *parameters = stream->codecpar;
    const AVCodec *codec = av().avcodec_find_decoder(parameters->codec_id);
    if (!codec || !isDecodable(parameters->width, parameters->height))
        return nullptr;
    CodecContext context(av().avcodec_alloc_context3(codec));
    if (!context || av().avcodec_parameters_to_context(context.get(), parameters) < 0)
        return nullptr;
    // One picture at a time: threads would each hold frames of their own.
    context->thread_count = 1;
    context->max_pixels = MediaAsset::kMaximumFramePixels;
    context->pkt_timebase = stream->time_base;
    if (av().avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

std::optional<QImage> imageOfFrame(const AVFrame *frame) {
    if (!isDecodable(frame->width, frame->height))
        return std::nullopt;
    QImage image(frame->width, frame->height, QImage::Format_ARGB32);
    if (image.isNull())
        return std::nullopt;
    SwsContext *scaler =
        av().sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                            frame->height, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler)
        return std::nullopt;
    uint8_t *const target[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int targetStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    const int rows =
        av().sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, target, targetStride);
    av().sws_freeContext(scaler);
    if (rows != frame->height)
        return std::nullopt;
    return image;
}

} // namespace

MediaAsset::MediaAsset(std::unique_ptr<Reading> reading)
    : m_reading(std::move(reading)) {}

MediaAsset::~MediaAsset() = default;

std::shared_ptr<MediaAsset> MediaAsset::open(const QByteArray &path, std::chrono::milliseconds timeLimit) {
    QString problem;
    if (!media::libav(&problem))
        throw Error(ErrorDomain::media, ENOSYS,
                    {{ErrorKey::localizedDescription, QStringLiteral("The movie “%1” could not be read: %2.")
                                                          .arg(QFile::decodeName(path), problem)}});
    silenceLibraryLog();
    auto reading = std::make_unique<Reading>();
    reading->deadline = Clock::now() + timeLimit;
    reading->fd = openRegularFileForReading(path);
    if (reading->fd < 0)
        throw mediaError(AVERROR(errno != 0 ? errno : EINVAL), path);

    auto *buffer = static_cast<unsigned char *>(av().av_malloc(kReadBufferSize));
    reading->io = buffer ? av().avio_alloc_context(buffer, kReadBufferSize, 0, reading.get(), readPacket,
                                                   nullptr, seekTo)
                         : nullptr;
    if (!reading->io) {
        av().av_free(buffer);
        throw mediaError(AVERROR(ENOMEM), path);
    }
    AVFormatContext *format = av().avformat_alloc_context();
    if (!format)
        throw mediaError(AVERROR(ENOMEM), path);
    format->pb = reading->io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->interrupt_callback = {interruptWhenOverTime, reading.get()};
    // A movie never opens another file or URL: a playlist or a list of files dressed as a movie would
    // otherwise make the library read other files of the user or reach the network. No protocol is
    // allowed; the file itself comes through our own reader.
    AVDictionary *options = nullptr;
    av().av_dict_set(&options, "protocol_whitelist", "none", 0);
    // On failure the library frees the context itself.
    const int result = av().avformat_open_input(&format, nullptr, nullptr, &options);
    av().av_dict_free(&options);
    if (result < 0)
        throw mediaError(result, path);
    reading->format = format;
    return std::shared_ptr<MediaAsset>(new MediaAsset(std::move(reading)));
}

std::optional<MediaTrack> MediaAsset::firstVideoTrack() {
    AVFormatContext *format = m_reading->format;
    const auto firstVideoStream = [format]() -> const AVStream * {
        for (unsigned index = 0; index < format->nb_streams; ++index) {
            const AVStream *stream = format->streams[index];
            if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
                return stream;
        }
        return nullptr;
    };
    const AVStream *stream = firstVideoStream();
    // Some containers (transport and program streams) say nothing of their pictures' size until a few
    // packets were read; the header of the others says it all.
    if ((!stream || stream->codecpar->width <= 0) && !m_reading->hasStreamInfo) {
        m_reading->hasStreamInfo = true;
        // Its decoders are held to the same pixel count and one thread each, as ours are.
        std::vector<AVDictionary *> decoderOptions(format->nb_streams, nullptr);
        for (AVDictionary *&options : decoderOptions) {
            av().av_dict_set(&options, "threads", "1", 0);
            av().av_dict_set_int(&options, "max_pixels", kMaximumFramePixels, 0);
        }
        const int result = av().avformat_find_stream_info(format, decoderOptions.data());
        for (AVDictionary *&options : decoderOptions)
            av().av_dict_free(&options);
        if (result < 0 && m_reading->isOverTime())
            throw Error(
                ErrorDomain::media, result,
                {{ErrorKey::localizedDescription, QStringLiteral("Reading the movie took too long.")}});
        stream = firstVideoStream();
    }
    if (!stream)
        return std::nullopt;
    MediaTrack track;
    track.streamIndex = stream->index;
    track.mediaType = MediaType::video;
    // A size no decoder would accept (a header claiming 100,000 × 100,000 pixels) is a damaged header.
    const int width = stream->codecpar->width, height = stream->codecpar->height;
    if (width > 0 && height > 0 &&
        av().av_image_check_size(unsigned(width), unsigned(height), 0, nullptr) == 0)
        track.naturalSize = QSizeF(width, height);
    track.preferredTransform = displayTransform(stream);
    track.asset = weak_from_this();
    return track;
}

std::optional<QImage> MediaAsset::frameImage(const MediaTrack &track, Duration time,
                                             bool appliesPreferredTrackTransform) {
    AVFormatContext *format = m_reading->format;
    if (track.streamIndex < 0 || unsigned(track.streamIndex) >= format->nb_streams)
        return std::nullopt;
    AVStream *stream = format->streams[track.streamIndex];
    CodecContext decoder = openDecoder(stream);
    if (!decoder)
        return std::nullopt;
    const double seconds = std::isfinite(time.seconds()) ? std::max(0.0, time.seconds()) : 0.0;
    const int64_t target =
        av().av_rescale_q(int64_t(std::llround(seconds * AV_TIME_BASE)), AV_TIME_BASE_Q, stream->time_base) +
        (stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0);
    // From the key frame at or before the time; where the file cannot seek, from where reading stands.
    av().av_seek_frame(format, stream->index, target, AVSEEK_FLAG_BACKWARD);
    av().avcodec_flush_buffers(decoder.get());

    Packet packet(av().av_packet_alloc());
    Frame frame(av().av_frame_alloc());
    Frame shown(av().av_frame_alloc());
    if (!packet || !frame || !shown)
        return std::nullopt;
    bool hasShown = false;
    bool isDone = false;
    // Takes every frame the decoder has ready: the last one that starts at or before the time is shown
    // then; the first one after it ends the search.
    const auto takeFrames = [&] {
        while (!isDone && av().avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
            const int64_t start = frame->best_effort_timestamp;
            if (start != AV_NOPTS_VALUE && start > target && hasShown) {
                isDone = true;
            } else {
                av().av_frame_unref(shown.get());
                av().av_frame_move_ref(shown.get(), frame.get());
                hasShown = true;
                isDone = start == AV_NOPTS_VALUE || start >= target;
            }
            av().av_frame_unref(frame.get());
        }
    };
    while (!isDone && !m_reading->isOverTime()) {
        const int result = av().av_read_frame(format, packet.get());
        if (result < 0) {
            // The end of the file (or of the budget): what the decoder still holds.
            if (av().avcodec_send_packet(decoder.get(), nullptr) == 0)
                takeFrames();
            break;
        }
        if (packet->stream_index == stream->index &&
            av().avcodec_send_packet(decoder.get(), packet.get()) >= 0)
            takeFrames();
        av().av_packet_unref(packet.get());
    }
    if (!hasShown)
        return std::nullopt;
    std::optional<QImage> image = imageOfFrame(shown.get());
    if (image && appliesPreferredTrackTransform && !track.preferredTransform.isIdentity() &&
        track.preferredTransform.isInvertible())
        image = image->transformed(track.preferredTransform);
    return image;
}

std::optional<QSize> MediaTrack::dimensions() const {
    if (naturalSize.width() == 0 && naturalSize.height() == 0)
        return std::nullopt;
    // The transform's linear part applied to the size as a vector, as the platform's size transform does.
    const QTransform &t = preferredTransform;
    const double width = naturalSize.width() * t.m11() + naturalSize.height() * t.m21();
    const double height = naturalSize.width() * t.m12() + naturalSize.height() * t.m22();
    if (std::lround(width) != 0 || std::lround(height) != 0)
        return QSize(int(std::lround(std::abs(width))), int(std::lround(std::abs(height))));
    const auto movie = asset.lock();
    if (!movie)
        return std::nullopt;
    const auto frame = movie->frameImage(*this, Duration(0), /*appliesPreferredTrackTransform=*/true);
    if (!frame)
        return std::nullopt;
    return frame->size();
}

std::optional<QSize> movieDimensions(const QByteArray &path) {
    try {
        const auto asset = MediaAsset::open(path);
        const auto track = asset->firstVideoTrack();
        if (!track)
            return std::nullopt;
        return track->dimensions();
    } catch (const Error &) {
        return std::nullopt;
    }
}

} // namespace kestrova

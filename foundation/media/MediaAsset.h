#pragma once

#include "foundation/media/AVFormat.h"
#include "foundation/time/Duration.h"

#include <QByteArray>
#include <QImage>
#include <QLatin1String>
#include <QSize>
#include <QSizeF>
#include <QTransform>

#include <chrono>
#include <memory>
#include <optional>

namespace kestrova {

namespace ErrorDomain {
// Movie files that cannot be read; the description carries the media library's reason.
inline constexpr QLatin1String media{"MediaErrorDomain"};
} // namespace ErrorDomain

// How long one movie file may be read for its tracks, sizes and frames before the reading gives up. Less
// than the time the menus wait for a file's facts, so that a worker never outlives its reader's wait.
inline constexpr std::chrono::milliseconds kMediaReadingTimeLimit{1500};

class MediaAsset;

// One track of a movie file.
struct MediaTrack {
    int streamIndex = -1;
    MediaType mediaType = MediaType::video;
    // The size of the coded pictures, before the track's transform.
    QSizeF naturalSize;
    // How the pictures are to be shown (a rotation for a portrait recording), translation left out.
    QTransform preferredTransform;
    // The movie the track belongs to; none once the movie was closed.
    std::weak_ptr<MediaAsset> asset;

    // The size in pixels at which the track is shown: the natural size under the preferred transform, as
    // absolute values; a frame's size when the transform collapses it. Nothing for a track of zero size or
    // without any picture. Throws the error of a movie that cannot be read further.
    std::optional<QSize> dimensions() const;
};

// A movie file opened for reading through the system's media library. Reading is bounded: nothing but a
// regular file is opened (no FIFO, device or link), reading stops at a time limit and after a byte budget,
// the file may open no other file or URL (playlists and references stay unread), and a picture is decoded
// only up to a pixel count, however large its header says it is. One thread at a time.
class MediaAsset : public std::enable_shared_from_this<MediaAsset> {
public:
    // Opens the file and reads its header. Throws the error of a file that is no readable movie.
    static std::shared_ptr<MediaAsset> open(const QByteArray &path,
                                            std::chrono::milliseconds timeLimit = kMediaReadingTimeLimit);
    ~MediaAsset();
    MediaAsset(const MediaAsset &) = delete;
    MediaAsset &operator=(const MediaAsset &) = delete;

    // The first track of pictures (cover art stored beside the sound is no track), or nothing.
    std::optional<MediaTrack> firstVideoTrack();

    // The frame of `track` shown at `time`, at its own size (turned by the track's transform when
    // `appliesPreferredTrackTransform`), or nothing when it cannot be had.
    std::optional<QImage> frameImage(const MediaTrack &track, Duration time,
                                     bool appliesPreferredTrackTransform);

    // Pictures with more pixels than this are not decoded: 8K video fits, a header claiming more is
    // taken for damaged.
    static constexpr qint64 kMaximumFramePixels = 7680LL * 4320LL;
    // At most this many bytes are read from one file.
    static constexpr qint64 kReadingBudget = 64LL * 1024 * 1024;

    struct Reading;

private:
    explicit MediaAsset(std::unique_ptr<Reading> reading);
    std::unique_ptr<Reading> m_reading;
};

// The first video track's displayed size of the movie at `path`, or nothing (no such track, no size, a
// file that cannot be read: the error is dropped).
std::optional<QSize> movieDimensions(const QByteArray &path);

} // namespace kestrova

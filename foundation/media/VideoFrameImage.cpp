#include "VideoFrameImage.h"

#include "MediaAsset.h"
#include "foundation/errors/Error.h"

#include <QFile>

namespace kestrova {

std::optional<QImage> videoFrameImage(const QString &videoFilePath, Duration time) {
    try {
        const auto asset = MediaAsset::open(QFile::encodeName(videoFilePath));
        const auto track = asset->firstVideoTrack();
        if (!track)
            return std::nullopt;
        return asset->frameImage(*track, time, /*appliesPreferredTrackTransform=*/true);
    } catch (const Error &) {
        return std::nullopt;
    }
}

} // namespace kestrova

#include "VideoFrameImage.h"

namespace kestrova {

std::optional<QImage> videoFrameImage(const QString &videoFilePath, Duration time) {
    Q_UNUSED(videoFilePath);
    Q_UNUSED(time);
    return std::nullopt;
}

} // namespace kestrova

#pragma once

#include "foundation/time/Duration.h"

#include <QImage>
#include <QString>

#include <optional>

namespace kestrova {

// The frame that the first video track of the movie file shows at `time`, at its own size with the
// track's rotation applied, or none when the frame cannot be had (no such file, no picture track, a time
// past the end of a movie that cannot seek, a damaged or endless file): the reason is dropped. Reads the
// file for at most kMediaReadingTimeLimit: call it off the main thread.
std::optional<QImage> videoFrameImage(const QString &videoFilePath, Duration time);

} // namespace kestrova

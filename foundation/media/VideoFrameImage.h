#pragma once

#include "foundation/time/Duration.h"

#include <QImage>
#include <QString>

#include <optional>

namespace kestrova {

// The frame image of the video file at `time`, at the image's own size, or none when the frame cannot be
// had. No media decoder is linked into the application, so for now every request answers none, which is
// also what callers get for an unreadable file; they fall back as they would then.
std::optional<QImage> videoFrameImage(const QString &videoFilePath, Duration time);

} // namespace kestrova

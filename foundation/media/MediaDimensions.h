#pragma once

#include <QSize>
#include <QUrl>

#include <optional>

namespace kestrova::url {

// The pixel size of an image file (its stored pixels: orientation metadata is not applied) or the
// displayed size of a movie's first video track (its rotation applied, so a portrait recording is taller
// than wide); nothing for any other item and for a file that cannot be read. Reads the file on the calling
// thread, a movie for at most kMediaReadingTimeLimit.
std::optional<QSize> mediaDimensions(const QUrl &url);

} // namespace kestrova::url

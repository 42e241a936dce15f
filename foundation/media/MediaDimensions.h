#pragma once

#include <QSize>
#include <QUrl>

#include <optional>

namespace kestrova::url {

// The stored pixel size of an image file (orientation metadata is not applied); nothing for any other
// item, for an image that cannot be read, and for now for movies, whose video size needs a media probe.
// Reads the file's header on the calling thread.
std::optional<QSize> mediaDimensions(const QUrl &url);

} // namespace kestrova::url

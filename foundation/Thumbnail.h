#pragma once

#include <QImage>
#include <QSize>
#include <QUrl>

#include <optional>

namespace kestrova::url {

// A picture of a file's contents that fits `maxSize` points at `scale` device pixels per point: the
// desktop's shared thumbnail cache when it holds a fresh one, else the image file itself scaled down.
// With `asIcon` the picture gets a thin frame so that it reads as an icon on any background. Nothing for
// folders, files of other kinds and files that cannot be read. Reads the file: call it off the main thread.
std::optional<QImage> quickLookThumbnail(const QUrl &url, QSizeF maxSize, double scale, bool asIcon);

} // namespace kestrova::url

#pragma once

#include <QImage>
#include <QSize>
#include <QUrl>

#include <optional>

namespace kestrova::url {

// A picture of a file's contents that fits `maxSize` points at `scale` device pixels per point: the
// desktop's shared thumbnail cache when it holds a fresh one, else the image file itself scaled down, else
// the picture that the desktop's installed thumbnailer for the file's type makes (movies, documents, fonts…;
// see DesktopThumbnailer), which is then kept in the cache; a thumbnailer that fails is not run again
// on the same version of the file. With `asIcon` the picture gets a thin frame so that it reads as an icon
// on any background. Nothing for folders, FIFOs and devices, files no thumbnailer takes and files that
// cannot be read. Reads the file and may wait for a thumbnailer: call it off the main thread.
std::optional<QImage> quickLookThumbnail(const QUrl &url, QSizeF maxSize, double scale, bool asIcon);

// The shared cache's thumbnail of the file as it is now, fitted into `fitting` pixels; nothing when the cache
// holds none or only one made from an earlier version. Reads the disk: call it off the main thread.
std::optional<QImage> cachedThumbnail(const QUrl &url, QSize fitting);

// Stores `picture` in the shared thumbnail cache as the thumbnail of the file as it is now, in the folder
// of the smallest size that holds it: a PNG carrying the file's URI and modification time, readable by the
// user only, written to a temporary file and renamed into place so that no reader sees half of it. False
// when the file or the cache cannot be reached.
bool storeThumbnail(const QUrl &url, const QImage &picture);

} // namespace kestrova::url

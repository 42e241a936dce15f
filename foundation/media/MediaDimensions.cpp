#include "MediaDimensions.h"

#include "ContainedImageReader.h"
#include "MediaAsset.h"
#include "foundation/files/FileUrl.h"
#include "foundation/files/ResourceValues.h"

#include <QMimeDatabase>

namespace kestrova::url {

std::optional<QSize> mediaDimensions(const QUrl &url) {
    const auto type = contentType(url);
    if (!type)
        return std::nullopt;
    if (type->startsWith(QLatin1String("image/"))) {
        // Opened with the FIFO and device checks (QImageReader would open the path blocking), and without
        // following a picture's references to other files, which reading the size of an SVG would load.
        const auto contained = ContainedImageReader::open(localPath(url));
        if (!contained)
            return std::nullopt;
        const QSize size = contained->reader().size();
        if (!size.isValid() || size.isEmpty())
            return std::nullopt;
        return size;
    }
    // A movie: a video type or one derived from a video type.
    QStringList names = QMimeDatabase().mimeTypeForName(*type).allAncestors();
    names.prepend(*type);
    for (const QString &name : std::as_const(names)) {
        if (name.startsWith(QLatin1String("video/")))
            return movieDimensions(localPath(url));
    }
    return std::nullopt;
}

} // namespace kestrova::url

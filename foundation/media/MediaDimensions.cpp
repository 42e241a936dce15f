#include "MediaDimensions.h"

#include "ContainedImageReader.h"
#include "foundation/files/FileUrl.h"
#include "foundation/files/ResourceValues.h"

#include <unistd.h>

namespace kestrova::url {

std::optional<QSize> mediaDimensions(const QUrl &url) {
    const auto type = contentType(url);
    if (!type || !type->startsWith(QLatin1String("image/")))
        return std::nullopt;
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

} // namespace kestrova::url

#include "MediaDimensions.h"

#include "FileSystemCalls_p.h"
#include "FileUrl.h"
#include "ResourceValues.h"

#include <QFile>
#include <QImageReader>

#include <unistd.h>

namespace kestrova::url {

std::optional<QSize> mediaDimensions(const QUrl &url) {
    const auto type = contentType(url);
    if (!type || !type->startsWith(QLatin1String("image/")))
        return std::nullopt;
    // Opened here with the FIFO and device checks; QImageReader would open the path blocking.
    QFile file;
    if (!openRegularFileForReading(localPath(url), file))
        return std::nullopt;
    QImageReader reader(&file);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return std::nullopt;
    return size;
}

} // namespace kestrova::url

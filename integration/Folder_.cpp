#include "Folder_.h"

#include "foundation/files/FileUrl.h"
#include "foundation/files/WellKnownFolders.h"
#include "platform/status/SymbolImage.h"
#include "store/Folder.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

namespace kestrova {
namespace {

constexpr qreal kImagePointSize = 60;
// The system's blue tint of symbols on the other desktop.
const QColor kSystemBlue(0, 122, 255);

std::optional<QByteArray> folderImage(const QString &iconName) {
    if (!platform::SymbolImage::isKnownName(iconName))
        return std::nullopt;
    const QImage image =
        platform::SymbolImage(iconName, kImagePointSize, platform::SymbolImage::Weight::regular)
            .tintedImage(kSystemBlue);
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return QByteArray();
    return png;
}

QString pathWithoutTrailingSlash(const QUrl &url) {
    QString path = QFile::decodeName(url::localPath(url));
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace

std::optional<IntentResponseCode> intentResponseCode(std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 6)
        return std::nullopt;
    return static_cast<IntentResponseCode>(rawValue);
}

Folder_ Folder_::from(const Folder &folder) {
    Folder_ object;
    object.identifier = folder.id.toString(QUuid::WithoutBraces).toUpper();
    object.displayString = folder.title();
    object.displayImage = folderImage(folder.iconName());
    object.isVisible = folder.isVisible;
    if (const auto url = folder.urlBookmark.url()) {
        object.path = pathWithoutTrailingSlash(*url);
        object.subtitleString = url::abbreviatingWithTildeInPath(*object.path);
    }
    return object;
}

std::vector<Folder_> convertedFolders(const std::vector<Folder> &folders) {
    std::vector<Folder_> objects;
    objects.reserve(folders.size());
    for (const Folder &folder : folders)
        objects.push_back(Folder_::from(folder));
    return objects;
}

} // namespace kestrova

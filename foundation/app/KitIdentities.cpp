#include "platform/GObjectPointer.h"

#include "KitIdentities.h"

#include "platform/workspace/SharingServices.h"

#include "platform/GioFunctions.h"

#include <QFile>
#include <QPainter>
#include <QScreen>

namespace kestrova {

std::optional<QString> screenIdentity(const QScreen *screen) {
    if (!screen || screen->name().isEmpty())
        return std::nullopt;
    return screen->name();
}

QString sharingServiceIdentity(const platform::SharingService &service) {
    return service.title();
}

QString displayName(const QUrl &url) {
    if (url.isLocalFile()) {
        const QByteArray path = QFile::encodeName(url.toLocalFile());
        platform::GObjectPointer<GFile> file(g_file_new_for_path(path.constData()));
        platform::GObjectPointer<GFileInfo> info(g_file_query_info(
            file.get(), G_FILE_ATTRIBUTE_STANDARD_DISPLAY_NAME, G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
        if (info) {
            const char *name = g_file_info_get_display_name(info.get());
            if (name && *name)
                return QString::fromUtf8(name);
        }
    }
    QString path = url.path();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 || path.size() == 1 ? path : path.mid(slash + 1);
}

QImage resized(const QImage &image, const QSize &size) {
    if (image.isNull() || size.isEmpty())
        return {};
    const qreal ratio = image.devicePixelRatio();
    QImage result(size * ratio, QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(ratio);
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image);
    }
    for (const QString &key : image.textKeys())
        result.setText(key, image.text(key));
    return result;
}

} // namespace kestrova

#include "SymbolIcon.h"

#include "platform/status/SymbolImage.h"

#include <QPixmap>
#include <QWidget>

namespace kestrova {

QIcon symbolIcon(const QString &symbolName, const QWidget *widget) {
    const platform::SymbolImage symbol(symbolName, platform::SymbolImage::standardPointSize(symbolName));
    const qreal ratio = widget ? widget->devicePixelRatioF() : 1.0;
    const QColor ink = widget ? widget->palette().color(QPalette::ButtonText) : QColor(Qt::black);
    return QIcon(QPixmap::fromImage(symbol.tintedImage(ink, ratio)));
}

} // namespace kestrova

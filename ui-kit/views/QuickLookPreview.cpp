#include "QuickLookPreview.h"

#include <QPainter>

namespace kestrova {

QuickLookPreview::QuickLookPreview(QWidget *parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void QuickLookPreview::setText(const QString &text) {
    m_text = text;
    m_picture = {};
    update();
}

void QuickLookPreview::setPicture(const QImage &picture) {
    m_picture = picture;
    m_text.clear();
    update();
}

void QuickLookPreview::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_picture.isNull()) {
        const QSizeF fitted = QSizeF(m_picture.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
        const QRectF target(QPointF((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                            fitted);
        painter.drawImage(target, m_picture);
        return;
    }
    if (m_text.isNull())
        return;
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    QFont small = font();
    small.setPointSizeF(10);
    painter.setFont(small);
    painter.setPen(palette().color(QPalette::Text));
    painter.setClipRect(rect().adjusted(1, 1, -1, -1));
    painter.drawText(QRectF(rect()).adjusted(8, 12, -8, -8), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                     m_text);
}

} // namespace kestrova

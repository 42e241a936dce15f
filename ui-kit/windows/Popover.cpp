#include "Popover.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace kestrova {

Popover::Popover(Behavior behavior, QWidget *parent)
    : QWidget(parent, (behavior == Behavior::transient ? Qt::Popup : Qt::ToolTip) | Qt::FramelessWindowHint |
                          Qt::NoDropShadowWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void Popover::setContent(QWidget *content, const QMargins &insets) {
    delete m_content;
    m_content = content;
    m_insets = insets;
    content->setParent(this);
    content->setAttribute(Qt::WA_TransparentForMouseEvents);
    layOutContent();
}

QLabel *Popover::makeWrappingLabel(const QString &text, std::optional<int> maxWidth, const QMargins &insets) {
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    const int natural = label->fontMetrics().boundingRect(QRect(0, 0, 100000, 100000), 0, text).width() + 1;
    const int wrapWidth = maxWidth ? std::max(1, *maxWidth - insets.left() - insets.right()) : natural;
    label->setWordWrap(true);
    const int width = std::min(natural, wrapWidth);
    label->setFixedSize(width, label->heightForWidth(width));
    return label;
}

void Popover::layOutContent() {
    if (!m_content)
        return;
    const QSize content = m_content->size().expandedTo(m_content->minimumSizeHint());
    const int top = (m_isBelow ? kArrowHeight : 0) + m_insets.top();
    m_content->setGeometry(QRect(QPoint(m_insets.left(), top), content));
    setFixedSize(content.width() + m_insets.left() + m_insets.right(),
                 content.height() + m_insets.top() + m_insets.bottom() + kArrowHeight);
}

QRect Popover::placement(const QRect &anchor, const QSize &size, const QRect &screen, bool *isBelow) {
    const bool below = anchor.bottom() + 1 + size.height() <= screen.bottom() + 1 ||
                       anchor.top() - size.height() < screen.top();
    if (isBelow)
        *isBelow = below;
    int x = anchor.center().x() - size.width() / 2;
    x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
    const int y = below ? anchor.bottom() + 1 : anchor.top() - size.height();
    return {QPoint(x, y), size};
}

void Popover::showAt(const QRect &anchor) {
    QScreen *screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area =
        screen ? screen->availableGeometry() : QRect(anchor.topLeft(), QSize(1 << 15, 1 << 15));
    layOutContent();
    const QRect frame = placement(anchor, size(), area, &m_isBelow);
    layOutContent();
    m_arrowX = std::clamp(anchor.center().x() - frame.left(), kArrowWidth,
                          std::max(kArrowWidth, width() - kArrowWidth));
    move(frame.topLeft());
    updateMask();
    show();
    raise();
    update();
}

QPainterPath Popover::bubblePath() const {
    const QRectF body = QRectF(rect()).adjusted(0.5, (m_isBelow ? kArrowHeight : 0) + 0.5, -0.5,
                                                -(m_isBelow ? 0 : kArrowHeight) - 0.5);
    QPainterPath bubble;
    bubble.addRoundedRect(body, 8, 8);
    QPainterPath arrow;
    const qreal tipY = m_isBelow ? 0.5 : height() - 0.5;
    const qreal baseY = m_isBelow ? body.top() + 1 : body.bottom() - 1;
    arrow.moveTo(m_arrowX - kArrowWidth / 2.0, baseY);
    arrow.lineTo(m_arrowX, tipY);
    arrow.lineTo(m_arrowX + kArrowWidth / 2.0, baseY);
    arrow.closeSubpath();
    return bubble.united(arrow);
}

void Popover::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawPath(bubblePath());
}

void Popover::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    updateMask();
}

void Popover::updateMask() {
    // Without a compositing manager the see-through corners would show black: the window is cut to the
    // bubble instead.
    setMask(QRegion(bubblePath().toFillPolygon().toPolygon()));
}

void Popover::mouseReleaseEvent(QMouseEvent *event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void Popover::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    Q_EMIT closed();
}

} // namespace kestrova

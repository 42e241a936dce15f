#include "ColorCircleButton.h"

#include "platform/status/SymbolImage.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <cmath>

namespace kestrova {

namespace {
constexpr int kGlowMilliseconds = 500;
constexpr int kHoverMilliseconds = 200;
// Room around the swatch for the glow and the hover growth.
constexpr int kMargin = 5;

// From wherever the value is now, so that a change in the middle of an animation turns back smoothly.
void animate(QVariantAnimation &animation, qreal from, qreal to) {
    animation.stop();
    animation.setStartValue(from);
    animation.setEndValue(to);
    animation.start();
}
} // namespace

ColorCircleButton::ColorCircleButton(QColor color, bool shouldShowIcon, qreal size, QWidget *parent)
    : QAbstractButton(parent)
    , m_color(std::move(color))
    , m_shouldShowIcon(shouldShowIcon)
    , m_size(size)
    , m_glowAnimation(new QVariantAnimation(this))
    , m_scaleAnimation(new QVariantAnimation(this)) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    m_glowAnimation->setDuration(kGlowMilliseconds);
    m_glowAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_glowAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_glow = value.toReal();
        update();
    });
    m_scaleAnimation->setDuration(kHoverMilliseconds);
    m_scaleAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_scaleAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_scale = value.toReal();
        update();
    });
}

QSize ColorCircleButton::sizeHint() const {
    const int side = int(std::ceil(m_size)) + 2 * kMargin;
    return {side, side};
}

void ColorCircleButton::setShouldHighlight(bool highlight) {
    if (highlight == m_shouldHighlight)
        return;
    m_shouldHighlight = highlight;
    animate(*m_glowAnimation, m_glow, highlight ? kGlowRadius : 0.0);
}

void ColorCircleButton::setHovered(bool hovered) {
    // A disabled control does not answer the pointer.
    if (!isEnabled() || hovered == m_isHovered)
        return;
    m_isHovered = hovered;
    animate(*m_scaleAnimation, m_scale, hovered ? kHoverScale : 1.0);
}

void ColorCircleButton::enterEvent(QEnterEvent *event) {
    QAbstractButton::enterEvent(event);
    setHovered(true);
}

void ColorCircleButton::leaveEvent(QEvent *event) {
    QAbstractButton::leaveEvent(event);
    setHovered(false);
}

void ColorCircleButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(m_scale, m_scale);
    const QRectF circle(-m_size / 2, -m_size / 2, m_size, m_size);
    if (!m_shouldShowIcon && m_glow > 0) {
        // The glow: rings of the swatch's colour fading outwards.
        for (int ring = int(std::ceil(m_glow)); ring > 0; --ring) {
            QColor glow = m_color;
            glow.setAlphaF(glow.alphaF() * 0.25 * (1.0 - qreal(ring - 1) / m_glow));
            painter.setPen(Qt::NoPen);
            painter.setBrush(glow);
            painter.drawEllipse(circle.adjusted(-ring, -ring, ring, ring));
        }
    }
    QPainterPath clip;
    clip.addEllipse(circle);
    painter.save();
    painter.setClipPath(clip);
    if (m_shouldShowIcon) {
        // The colour-panel picture, in its own colours: a wheel of hues behind the palette glyph.
        QConicalGradient wheel(QPointF(0, 0), 90);
        for (int stop = 0; stop <= 6; ++stop)
            wheel.setColorAt(stop / 6.0, QColor::fromHsvF(stop % 6 / 6.0, 0.65, 1.0));
        painter.fillRect(circle, wheel);
        const QImage glyph = platform::SymbolImage(QStringLiteral("palette"), m_size * 0.6)
                                 .tintedImage(Qt::white, devicePixelRatioF());
        painter.drawImage(QRectF(-m_size * 0.3, -m_size * 0.3, m_size * 0.6, m_size * 0.6), glyph);
    } else {
        painter.fillRect(circle, m_color);
    }
    painter.restore();
    QColor outline = palette().color(QPalette::WindowText);
    outline.setAlphaF(0.3);
    painter.setPen(QPen(outline, 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(circle.adjusted(0.25, 0.25, -0.25, -0.25));
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.drawEllipse(circle.adjusted(-2, -2, 2, 2));
    }
}

} // namespace kestrova

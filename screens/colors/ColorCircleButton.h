#pragma once

#include <QAbstractButton>
#include <QColor>

class QVariantAnimation;

namespace kestrova {

// A round swatch: a colour (glowing in its own colour while highlighted) or the colour-panel picture. It
// grows a little under the pointer while enabled.
class ColorCircleButton : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr qreal kHoverScale = 1.07;
    static constexpr qreal kGlowRadius = 4;

    ColorCircleButton(QColor color, bool shouldShowIcon, qreal size, QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    bool shouldShowIcon() const { return m_shouldShowIcon; }
    bool shouldHighlight() const { return m_shouldHighlight; }
    void setShouldHighlight(bool highlight);
    bool isHovered() const { return m_isHovered; }
    // The glow's radius now (animated towards kGlowRadius or 0) and the scale.
    qreal glowRadius() const { return m_glow; }
    qreal scale() const { return m_scale; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setHovered(bool hovered);

    QColor m_color;
    bool m_shouldShowIcon;
    qreal m_size;
    bool m_shouldHighlight = false;
    bool m_isHovered = false;
    qreal m_glow = 0;
    qreal m_scale = 1;
    QVariantAnimation *m_glowAnimation;
    QVariantAnimation *m_scaleAnimation;
};

} // namespace kestrova

#include "SecondaryTextStyleModifier.h"

#include "ui-kit/utilities/AttributedTextHelpers.h"

#include <QWidget>

namespace kestrova {

QColor secondaryLabelColor(const QPalette &palette) {
    QColor secondary = palette.color(QPalette::WindowText);
    secondary.setAlphaF(0.55f);
    return secondary;
}

void SecondaryTextStyleModifier::apply(QWidget *widget) const {
    widget->setFont(systemFont(fontSize));
    QPalette palette = widget->palette();
    const QColor secondary = secondaryLabelColor(palette);
    palette.setColor(QPalette::WindowText, secondary);
    palette.setColor(QPalette::Text, secondary);
    widget->setPalette(palette);
}

void applySecondaryTextStyle(QWidget *widget) {
    SecondaryTextStyleModifier{smallSystemFontSize()}.apply(widget);
}

} // namespace kestrova

#include "CocoaLabel.h"

#include "SecondaryTextStyleModifier.h"

#include <QEvent>

namespace kestrova {

CocoaLabel::CocoaLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    applyTextColor();
    if (parent)
        adjustSize();
}

void CocoaLabel::changeEvent(QEvent *event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        applyTextColor();
}

bool CocoaLabel::event(QEvent *event) {
    const bool handled = QLabel::event(event);
    if (event->type() == QEvent::ParentChange && parentWidget())
        adjustSize();
    return handled;
}

void CocoaLabel::applyTextColor() {
    QPalette palette = this->palette();
    const QPalette standard;
    palette.setColor(QPalette::WindowText,
                     isEnabled() ? standard.color(QPalette::WindowText) : secondaryLabelColor(standard));
    // Qt would grey a disabled label itself; the secondary colour is the one shown.
    palette.setColor(QPalette::Disabled, QPalette::WindowText, secondaryLabelColor(standard));
    setPalette(palette);
}

} // namespace kestrova

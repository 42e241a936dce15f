#include "ExpansionTextField.h"

#include <QEvent>
#include <QFontMetrics>

namespace kestrova {

ExpansionTextField::ExpansionTextField(const QString &text, QWidget *parent)
    : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    // Wide enough for the whole text when there is room, as narrow as it is given otherwise.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFullText(text);
}

void ExpansionTextField::setFullText(const QString &text) {
    m_fullText = text;
    updateGeometry();
    updateShownText();
}

bool ExpansionTextField::isTruncated() const {
    return fontMetrics().horizontalAdvance(m_fullText) > contentsRect().width();
}

QSize ExpansionTextField::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

QSize ExpansionTextField::sizeHint() const {
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(m_fullText) + margins.left() + margins.right(),
            QLabel::sizeHint().height()};
}

void ExpansionTextField::resizeEvent(QResizeEvent *event) {
    QLabel::resizeEvent(event);
    updateShownText();
}

void ExpansionTextField::changeEvent(QEvent *event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateShownText();
}

void ExpansionTextField::updateShownText() {
    const bool truncated = isTruncated();
    setText(truncated ? fontMetrics().elidedText(m_fullText, Qt::ElideRight, contentsRect().width())
                      : m_fullText);
    setToolTip(truncated ? m_fullText : QString());
}

} // namespace kestrova

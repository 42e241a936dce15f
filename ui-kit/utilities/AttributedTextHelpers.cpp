#include "AttributedTextHelpers.h"

#include <QGuiApplication>

namespace kestrova {

qreal systemFontSize() {
    const qreal size = QGuiApplication::font().pointSizeF();
    return size > 0 ? size : 13;
}

qreal smallSystemFontSize() {
    return systemFontSize() * 11 / 13;
}

QFont systemFont(qreal pointSize) {
    QFont font = QGuiApplication::font();
    font.setPointSizeF(pointSize > 0 ? pointSize : systemFontSize());
    return font;
}

QFont boldFont(const QFont &font) {
    QFont bold = font;
    bold.setBold(true);
    return bold;
}

QFont fontWithWeight(const QFont &font, QFont::Weight weight) {
    QFont weighted = font;
    weighted.setWeight(weight);
    return weighted;
}

QFont fontOf(const platform::AttributedText &text) {
    return text.wholeStringFont().value_or(systemFont());
}

platform::AttributedText withFont(const platform::AttributedText &text, const QFont &font) {
    auto copy = text;
    copy.setFont(font);
    return copy;
}

platform::AttributedText withColor(const platform::AttributedText &text, const platform::TextColor &color) {
    auto copy = text;
    copy.setColor(color);
    return copy;
}

void setFontSize(platform::AttributedText &text, qreal pointSize) {
    text.setFontSize(pointSize, systemFont(pointSize));
}

} // namespace kestrova

#pragma once

#include "platform/menus/AttributedText.h"

#include <QFont>
#include <QString>

namespace kestrova {

// The application font's size, and the size of small text beside it (11 to the regular 13).
qreal systemFontSize();
qreal smallSystemFontSize();
// The application font at `pointSize` (the regular size when none is given).
QFont systemFont(qreal pointSize = 0);

// The font with the bold trait, and with a weight; the size is kept.
QFont boldFont(const QFont &font);
QFont fontWithWeight(const QFont &font, QFont::Weight weight);

// The font covering the whole text, else the system font at the regular size.
QFont fontOf(const platform::AttributedText &text);
// Copies with the attribute set over the whole text.
platform::AttributedText withFont(const platform::AttributedText &text, const QFont &font);
platform::AttributedText withColor(const platform::AttributedText &text, const platform::TextColor &color);
// Every run at `pointSize`: runs with a font keep it, runs without get the system font.
void setFontSize(platform::AttributedText &text, qreal pointSize);

} // namespace kestrova

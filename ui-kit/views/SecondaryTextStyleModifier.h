#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

namespace kestrova {

// The text colour of secondary text on `palette`: the text colour, faded.
QColor secondaryLabelColor(const QPalette &palette);

// Secondary text: the system font at `fontSize` in the faded text colour. Screens give it the small system
// font size, which grows with the user's text size.
struct SecondaryTextStyleModifier {
    double fontSize = 0;

    void apply(QWidget *widget) const;
};

// The modifier at the small system font size, the form every screen uses.
void applySecondaryTextStyle(QWidget *widget);

} // namespace kestrova

#pragma once

class QWidget;

namespace kestrova {

// Puts the window in the middle of the available area of its screen (the primary screen before it has
// one); nothing without a screen.
void centerOnScreen(QWidget *window);

} // namespace kestrova

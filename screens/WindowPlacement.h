#pragma once

class QWidget;

namespace kestrova {

// Puts the window in the middle of the available area of the screen the pointer is on (the user just clicked
// the tray or a menu there), else of the primary screen; nothing without a screen.
void centerOnScreen(QWidget *window);

} // namespace kestrova

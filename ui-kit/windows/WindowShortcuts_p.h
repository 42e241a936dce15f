#pragma once

class QWidget;

namespace kestrova {

// Gives `window` the keys every window of the kit answers: Ctrl+W closes it and Ctrl+M minimises it,
// whichever of its widgets has the focus. Only exactly Ctrl counts (Ctrl+Shift+W and Ctrl+Alt+W go on to
// the widget), and the key is matched by what it types in the current layout, not by its position.
//
// They are window shortcuts, not a key handler, because a focused drop-down list or text field takes every
// key press it is given and never hands Ctrl+W on to its window; a shortcut is matched before the press is
// delivered.
void installWindowShortcuts(QWidget *window);

} // namespace kestrova

#pragma once

class QKeyEvent;
class QWidget;

namespace kestrova {

// The keys every window of the kit answers: Ctrl+W closes it and Ctrl+M minimises it. Only exactly Ctrl
// counts (Ctrl+Shift+W and Ctrl+Alt+W go on to the widget), and the key is compared by what it types in
// the current layout, not by its position. Returns true when the key was taken.
bool handleWindowShortcut(QWidget *window, QKeyEvent *event);

} // namespace kestrova

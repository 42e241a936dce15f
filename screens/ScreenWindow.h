#pragma once

#include <QString>

class QWidget;

namespace kestrova {

class SwiftUIWindowForMenuBarApp;

// What the settings and folder windows share as windows of a tray application: made with Escape and Ctrl+W
// closing them, floating above ordinary windows, without a minimise button, sized to their content; and
// presented on the screen the pointer is on (the user just clicked the tray there), raised and given the
// keyboard. Main thread only.
namespace ScreenWindow {

// A new window around `content` (which it takes), titled `title`.
SwiftUIWindowForMenuBarApp *make(QWidget *content, const QString &title);

// Shows the window. A window not yet shown is centred on the pointer's screen first; a shown one stays where
// the user put it. Either way it is raised and asked to take the keyboard, once it is mapped (the window
// manager ignores a request for a window it does not have yet): on X11 through _NET_ACTIVE_WINDOW with the
// time of the user's last click in the application's menu, on Wayland with the activation token the tray
// host handed over for that click, when it gave one.
void present(QWidget *window);

// `text` as a window title: control characters (line breaks, tabs, direction marks stay) become spaces and
// anything past 200 characters is cut with "…", so that a title of any length stays one readable line.
QString titleText(const QString &text);

} // namespace ScreenWindow
} // namespace kestrova

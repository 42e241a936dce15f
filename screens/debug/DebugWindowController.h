#pragma once

#include "ui-kit/windows/SingletonWindowController.h"

namespace kestrova {

class DebugScreen;

// The developer's debug window of debug mode (Shift+Control held at launch), opened from the status menu's
// "Debug" item: a resizable window of at least 800 × 400 titled "Kestrova <version> — Debug", holding a
// DebugScreen, a little above the middle of the screen. Ctrl+W closes it. Main thread only.
class DebugWindowController : public SingletonWindowController {
    Q_OBJECT
public:
    DebugWindowController();

    DebugScreen *screen() const { return m_screen; }

    // The window's top left for a window of `size` on a screen whose available area is `visibleSize`.
    static QPoint placement(const QSize &size, const QSize &visibleSize);

private:
    DebugScreen *m_screen;
};

} // namespace kestrova

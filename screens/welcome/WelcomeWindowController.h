#pragma once

#include "ui-kit/windows/SingletonWindowController.h"

namespace kestrova {

class WelcomeScreen;

// The welcome window of the first launch: a floating window without title text or window buttons,
// centred on the screen, holding a WelcomeScreen whose "Get Started" closes it. Shown through
// SingletonWindowController::show with a fade; main thread only.
class WelcomeWindowController : public SingletonWindowController {
    Q_OBJECT
public:
    WelcomeWindowController();

    WelcomeScreen *screen() const { return m_screen; }

private:
    WelcomeScreen *m_screen = nullptr;
};

} // namespace kestrova

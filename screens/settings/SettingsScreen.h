#pragma once

#include "ui-kit/windows/SingletonWindowController.h"

#include <QWidget>

namespace kestrova {

// The application-wide settings, each control writing its stored key the moment it changes: launch at
// login, one main status item for all folders (a change relaunches the application into this window
// again), icons and submenus in folder menus, and, while the folders share the main item, their order.
// Every row follows its key, also when another process or window changes it. Main thread only.
class SettingsScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 380;

    explicit SettingsScreen(QWidget *parent = nullptr);
};

// The one settings window: opened again, it comes to the front where it is; closed, it is built afresh
// next time (every change is stored already).
class SettingsWindowController final : public SingletonWindowController {
    Q_OBJECT
public:
    SettingsWindowController();

    // Shows the window (made now when there is none) on the pointer's screen, raised with the keyboard.
    static void showWindow();
};

} // namespace kestrova

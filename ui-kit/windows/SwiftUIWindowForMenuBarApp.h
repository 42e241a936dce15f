#pragma once

#include <QWidget>

namespace kestrova {

// The top-level window in which the kit shows a screen of the tray application (welcome, debug, support and
// the one-off windows). The application has no other window, so this one is always ready to be activated
// and take the keyboard, and closing it never ends the application (nothing here asks Qt to quit).
//
// Ctrl+W closes it, Ctrl+M minimises it (whichever of its widgets has the focus), and Escape closes it only
// when `shouldCloseOnEscapePress` is set; otherwise Escape is swallowed. `allowedAboveMenuBar` is kept for
// the owner's sake, but on Linux the window manager decides whether a window may cover a panel, so it changes
// nothing here.
//
// The owner decides whether the window is deleted when closed; it emits `windowWillClose` for every
// accepted close, whoever asked for it (Ctrl+W, Escape, the title bar or `close()`).
class SwiftUIWindowForMenuBarApp final : public QWidget {
    Q_OBJECT
public:
    explicit SwiftUIWindowForMenuBarApp(QWidget *parent = nullptr);
    ~SwiftUIWindowForMenuBarApp() override;

    bool shouldCloseOnEscapePress = false;
    bool allowedAboveMenuBar = false;

Q_SIGNALS:
    void windowWillClose();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};

} // namespace kestrova

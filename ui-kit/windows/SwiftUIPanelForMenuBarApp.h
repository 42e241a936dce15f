#pragma once

#include <QWidget>

namespace kestrova {

// The utility-panel form of `SwiftUIWindowForMenuBarApp`: a tool window that takes the keyboard, closes on
// Ctrl+W and minimises on Ctrl+M. It has no Escape handling of its own (Escape goes on to QWidget).
// `allowedAboveMenuBar` is advisory: the window manager decides where panels may go.
class SwiftUIPanelForMenuBarApp final : public QWidget {
    Q_OBJECT
public:
    explicit SwiftUIPanelForMenuBarApp(QWidget *parent = nullptr);
    ~SwiftUIPanelForMenuBarApp() override;

    bool allowedAboveMenuBar = false;
};

} // namespace kestrova

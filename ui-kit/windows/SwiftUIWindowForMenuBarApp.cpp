#include "SwiftUIWindowForMenuBarApp.h"

#include "WindowShortcuts_p.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace kestrova {

namespace {
constexpr QSize kInitialSize(100, 100);
} // namespace

SwiftUIWindowForMenuBarApp::SwiftUIWindowForMenuBarApp(QWidget *parent)
    : QWidget(parent, Qt::Window) {
    resize(kInitialSize);
    installWindowShortcuts(this);
}

SwiftUIWindowForMenuBarApp::~SwiftUIWindowForMenuBarApp() = default;

void SwiftUIWindowForMenuBarApp::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Escape never travels further, even when it does not close the window.
        event->accept();
        if (shouldCloseOnEscapePress)
            close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SwiftUIWindowForMenuBarApp::closeEvent(QCloseEvent *event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        Q_EMIT windowWillClose();
}

} // namespace kestrova

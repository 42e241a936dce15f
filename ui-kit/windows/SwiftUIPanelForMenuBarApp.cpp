#include "SwiftUIPanelForMenuBarApp.h"

#include "WindowShortcuts_p.h"

#include <QKeyEvent>

namespace kestrova {

SwiftUIPanelForMenuBarApp::SwiftUIPanelForMenuBarApp(QWidget *parent)
    : QWidget(parent, Qt::Tool) {
    resize(100, 100);
}

SwiftUIPanelForMenuBarApp::~SwiftUIPanelForMenuBarApp() = default;

void SwiftUIPanelForMenuBarApp::keyPressEvent(QKeyEvent *event) {
    if (handleWindowShortcut(this, event))
        return;
    QWidget::keyPressEvent(event);
}

} // namespace kestrova

#include "SwiftUIPanelForMenuBarApp.h"

#include "WindowShortcuts_p.h"

namespace kestrova {

SwiftUIPanelForMenuBarApp::SwiftUIPanelForMenuBarApp(QWidget *parent)
    : QWidget(parent, Qt::Tool) {
    resize(100, 100);
    installWindowShortcuts(this);
}

SwiftUIPanelForMenuBarApp::~SwiftUIPanelForMenuBarApp() = default;

} // namespace kestrova

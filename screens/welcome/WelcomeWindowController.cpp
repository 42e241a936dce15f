#include "WelcomeWindowController.h"

#include "WelcomeScreen.h"
#include "foundation/app/KvApp.h"
#include "screens/WindowPlacement.h"
#include "ui-kit/windows/WindowHelpers.h"

#include <QPointer>
#include <QVBoxLayout>

namespace kestrova {

WelcomeWindowController::WelcomeWindowController()
    : SingletonWindowController(new SwiftUIWindowForMenuBarApp) {
    SwiftUIWindowForMenuBarApp *frame = window();
    frame->setObjectName(QStringLiteral("welcomeWindow"));
    QPointer<QWidget> weakWindow(frame);
    m_screen = new WelcomeScreen(/*buttonWidth=*/100,
                                 [weakWindow]() -> QWidget * { return weakWindow.data(); }, {}, frame);
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_screen);
    frame->setWindowTitle(KvApp::name());
    frame->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowLevel(frame, WindowLevel::floating);
    frame->adjustSize();
    frame->setFixedSize(frame->sizeHint());
    centerOnScreen(frame);
}

} // namespace kestrova

#include "UserDebugWindowController.h"

#include "UserDebugView.h"
#include "foundation/app/KvApp.h"
#include "screens/WindowPlacement.h"
#include "ui-kit/windows/WindowHelpers.h"

#include <QVBoxLayout>

namespace kestrova {

UserDebugWindowController::UserDebugWindowController()
    : SingletonWindowController(new SwiftUIWindowForMenuBarApp) {
    SwiftUIWindowForMenuBarApp *frame = window();
    frame->setObjectName(QStringLiteral("supportWindow"));
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new UserDebugView(frame));
    frame->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowLevel(frame, WindowLevel::floating);
    frame->setWindowTitle(KvApp::name() + QLatin1Char(' ') + KvApp::version() + QStringLiteral(" — Debug"));
    frame->adjustSize();
    frame->setFixedSize(frame->sizeHint());
    centerOnScreen(frame);
}

} // namespace kestrova

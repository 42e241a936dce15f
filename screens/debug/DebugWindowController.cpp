#include "DebugWindowController.h"

#include "DebugScreen.h"
#include "foundation/app/KvApp.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace kestrova {

QPoint DebugWindowController::placement(const QSize &size, const QSize &visibleSize) {
    // Centred, then raised by an eighth of the screen or so, where the eye looks first.
    return {int((visibleSize.width() - size.width()) * 0.5),
            int((visibleSize.height() - size.height()) * 0.5 - visibleSize.height() * 0.12)};
}

DebugWindowController::DebugWindowController()
    : SingletonWindowController(new SwiftUIWindowForMenuBarApp)
    , m_screen(new DebugScreen(window())) {
    SwiftUIWindowForMenuBarApp *frame = window();
    frame->setObjectName(QStringLiteral("debugWindow"));
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_screen);
    frame->setWindowTitle(KvApp::name() + QLatin1Char(' ') + KvApp::version() + QStringLiteral(" — Debug"));
    frame->resize(880, 520);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        QPoint topLeft = placement(frame->size(), available.size());
        // The size gives the place; the panel's side is kept clear all the same.
        topLeft.setY(std::max(topLeft.y(), available.top()));
        topLeft.setX(std::max(topLeft.x(), available.left()));
        frame->move(topLeft);
    }
}

} // namespace kestrova

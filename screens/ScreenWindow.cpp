#include "ScreenWindow.h"

#include "screens/WindowPlacement.h"

#include "platform/desktop/tray/ActivationToken.h"
#include "ui-kit/utilities/MenuText.h"
#include "ui-kit/windows/SwiftUIWindowForMenuBarApp.h"
#include "ui-kit/windows/WindowHelpers.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace kestrova::ScreenWindow {
namespace {

constexpr int kLongestTitle = 200;

// Raises and activates the window as soon as it is exposed: a request made before the window manager
// has mapped it is dropped.
class ActivateWhenExposed : public QObject {
public:
    explicit ActivateWhenExposed(QWidget *window)
        : QObject(window)
        , m_window(window) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == m_window && (event->type() == QEvent::Expose || event->type() == QEvent::Show) &&
            m_window->windowHandle() && m_window->windowHandle()->isExposed()) {
            m_window->raise();
            m_window->activateWindow();
            deleteLater();
        }
        return false;
    }

private:
    QPointer<QWidget> m_window;
};

} // namespace

SwiftUIWindowForMenuBarApp *make(QWidget *content, const QString &title) {
    auto *window = new SwiftUIWindowForMenuBarApp();
    window->shouldCloseOnEscapePress = true;
    window->setWindowTitle(titleText(title));
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    setWindowLevel(window, WindowLevel::floating);
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    // The window takes the size its content asks for, and changes with it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(content);
    return window;
}

void present(QWidget *window) {
    if (!window->isVisible()) {
        window->adjustSize();
        centerOnScreen(window);
    }
    // The focus the desktop granted for the click or menu choice that asked for this window.
    platform::desktop::ActivationToken::spendOnNextActivation(QGuiApplication::platformName());
    if (!window->windowHandle() || !window->windowHandle()->isExposed())
        new ActivateWhenExposed(window);
    bringToFront(window);
}

QString titleText(const QString &text) {
    QString line = text;
    for (QChar &character : line) {
        if (character.category() == QChar::Other_Control)
            character = u' ';
    }
    return truncated(kLongestTitle, TruncationPosition::tail, QStringLiteral("…"), line);
}

} // namespace kestrova::ScreenWindow

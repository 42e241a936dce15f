#include "SwiftUIWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova {

SwiftUIWindow::SwiftUIWindow(QWidget *content, Options options, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_options(options)
    , m_content(content) {
    if (!m_options.canBecomeKey) {
        setWindowFlag(Qt::WindowDoesNotAcceptFocus);
        setAttribute(Qt::WA_ShowWithoutActivating);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (content)
        layout->addWidget(content);
}

SwiftUIWindow::~SwiftUIWindow() = default;

QRect SwiftUIWindow::constrainedFrame(QRect frame, const QRect &screen) {
    // Clamped to the screen's own rectangle, so a window on a screen that does not start at (0, 0) stays
    // on that screen.
    if (frame.width() >= screen.width()) {
        frame.setWidth(screen.width());
        frame.moveLeft(screen.left());
    }
    if (frame.height() >= screen.height()) {
        frame.setHeight(screen.height());
        frame.moveTop(screen.top());
    }
    if (frame.left() + frame.width() > screen.left() + screen.width())
        frame.moveLeft(screen.left() + screen.width() - frame.width());
    if (frame.top() + frame.height() > screen.top() + screen.height())
        frame.moveTop(screen.top() + screen.height() - frame.height());
    frame.moveTo(std::max(screen.left(), frame.left()), std::max(screen.top(), frame.top()));
    return frame;
}

void SwiftUIWindow::constrainToScreen() {
    if (!m_options.constrainWindowToScreen || !screen())
        return;
    const QRect constrained = constrainedFrame(geometry(), screen()->geometry());
    if (constrained != geometry())
        setGeometry(constrained);
}

void SwiftUIWindow::keyPressEvent(QKeyEvent *event) {
    if (m_options.closeOnEsc && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SwiftUIWindow::closeEvent(QCloseEvent *event) {
    QWidget::closeEvent(event);
    // The content goes with the window, so nothing it holds outlives what the user closed.
    if (event->isAccepted() && m_content)
        m_content->deleteLater();
}

void SwiftUIWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    constrainToScreen();
}

void SwiftUIWindow::moveEvent(QMoveEvent *event) {
    QWidget::moveEvent(event);
    constrainToScreen();
}

void SwiftUIWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    constrainToScreen();
}

} // namespace kestrova

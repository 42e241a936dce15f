#include "ui-kit/windows/WindowResizeObserverView.h"

#include <QEvent>
#include <QWindowStateChangeEvent>

namespace kestrova {

WindowResizeObserverView::WindowResizeObserverView(QWidget *view, std::function<void()> onResize)
    : QObject(view)
    , m_view(view)
    , m_onResize(std::move(onResize)) {
    view->installEventFilter(this);
    watchWindow();
}

void WindowResizeObserverView::watchWindow() {
    QWidget *window = m_view->window();
    if (window == m_window)
        return;
    if (m_window && m_window != m_view)
        m_window->removeEventFilter(this);
    m_window = window;
    if (m_window && m_window != m_view)
        m_window->installEventFilter(this);
}

bool WindowResizeObserverView::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_view && event->type() == QEvent::ParentChange)
        watchWindow();
    if (watched != m_window)
        return false;
    const bool enteredFullScreen =
        event->type() == QEvent::WindowStateChange && m_window->isFullScreen() &&
        !(static_cast<QWindowStateChangeEvent *>(event)->oldState() & Qt::WindowFullScreen);
    if ((event->type() == QEvent::Resize || enteredFullScreen) && m_onResize)
        m_onResize();
    return false;
}

} // namespace kestrova

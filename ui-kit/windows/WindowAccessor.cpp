#include "WindowAccessor.h"

#include <QEvent>
#include <QWidget>

namespace kestrova {

WindowAccessor::WindowAccessor(QWidget *view, std::function<void(QWidget *window)> onWindow)
    : QObject(view)
    , m_view(view)
    , m_onWindow(std::move(onWindow)) {
    view->installEventFilter(this);
    report();
}

bool WindowAccessor::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_view) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ParentChange:
            report();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowAccessor::report() {
    if (!m_view || !m_onWindow)
        return;
    // A widget that is not shown is not in any window the user can see.
    m_onWindow(m_view->isVisible() ? m_view->window() : nullptr);
}

void accessHostingWindow(QWidget *view, std::function<void(QWidget *window)> onWindow) {
    new WindowAccessor(view, std::move(onWindow));
}

void windowTitle(QWidget *view, const QString &title) {
    accessHostingWindow(view, [title](QWidget *window) {
        if (window)
            window->setWindowTitle(title);
    });
}

void windowLevel(QWidget *view, WindowLevel level) {
    accessHostingWindow(view, [level](QWidget *window) {
        if (window)
            setWindowLevel(window, level);
    });
}

void windowIsResizable(QWidget *view, bool isResizable) {
    accessHostingWindow(view, [isResizable](QWidget *window) {
        if (!window)
            return;
        if (isResizable) {
            window->setMinimumSize(0, 0);
            window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        } else {
            window->setFixedSize(window->size());
        }
    });
}

void windowIsMinimizable(QWidget *view, bool isMinimizable) {
    accessHostingWindow(view, [isMinimizable](QWidget *window) {
        if (!window || window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint) == isMinimizable)
            return;
        // Customised decorations list every button they keep.
        Qt::WindowFlags flags =
            window->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
        flags.setFlag(Qt::WindowMinimizeButtonHint, isMinimizable);
        const bool wasVisible = window->isVisible();
        window->setWindowFlags(flags);
        if (wasVisible)
            window->show();
    });
}

AppearOnScreenView::AppearOnScreenView(QWidget *view, std::function<void()> onViewDidAppear,
                                       std::function<void()> onViewDidDisappear,
                                       std::optional<platform::Binding<bool>> isOnScreen)
    : QObject(view)
    , m_onViewDidAppear(std::move(onViewDidAppear))
    , m_onViewDidDisappear(std::move(onViewDidDisappear))
    , m_isOnScreen(std::move(isOnScreen)) {
    view->installEventFilter(this);
}

bool AppearOnScreenView::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Show) {
        if (m_isOnScreen)
            m_isOnScreen->set(true);
        if (m_onViewDidAppear)
            m_onViewDidAppear();
    } else if (event->type() == QEvent::Hide) {
        if (m_isOnScreen)
            m_isOnScreen->set(false);
        if (m_onViewDidDisappear)
            m_onViewDidDisappear();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kestrova

#include "TrackingArea.h"

#include <QEnterEvent>
#include <QMouseEvent>

namespace kestrova {

TrackingArea::TrackingArea(QWidget *view, QRect rect, QObject *parent)
    : QObject(parent ? parent : view)
    , m_view(view)
    , m_rect(rect) {
    view->setMouseTracking(true);
    view->installEventFilter(this);
}

bool TrackingArea::eventFilter(QObject *watched, QEvent *event) {
    if (watched != m_view)
        return false;
    switch (event->type()) {
    case QEvent::Enter:
        follow(static_cast<QEnterEvent *>(event)->position().toPoint());
        break;
    case QEvent::MouseMove:
        follow(static_cast<QMouseEvent *>(event)->position().toPoint());
        break;
    case QEvent::Leave:
    case QEvent::Hide:
        if (std::exchange(m_isInside, false))
            Q_EMIT exited();
        break;
    default:
        break;
    }
    return false;
}

void TrackingArea::follow(QPoint position) {
    const QRect area = m_rect.isEmpty() ? m_view->rect() : m_rect;
    const bool inside = area.contains(position);
    if (inside && !m_isInside) {
        m_isInside = true;
        Q_EMIT entered();
    } else if (!inside && m_isInside) {
        m_isInside = false;
        Q_EMIT exited();
    }
    if (inside)
        Q_EMIT moved(position);
}

} // namespace kestrova

#include "ui-kit/windows/KvView.h"

#include <QEvent>

namespace kestrova {

KvView::KvView(QWidget *parent)
    : QWidget(parent) {
    m_didMoveToSuperview = parent != nullptr;
}

bool KvView::event(QEvent *event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ParentChange && parentWidget() && !m_didMoveToSuperview) {
        m_didMoveToSuperview = true;
        Q_EMIT didMoveToSuperview();
    }
    if (event->type() == QEvent::Show && !m_didAppear) {
        m_didAppear = true;
        Q_EMIT didAppear();
    }
    return handled;
}

} // namespace kestrova

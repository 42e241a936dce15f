#include "platform/desktop/input/LocalEventMonitor.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>

namespace kestrova::platform::desktop {

LocalEventMonitor::LocalEventMonitor(QList<QEvent::Type> events, Callback callback, QObject *parent)
    : QObject(parent)
    , m_events(std::move(events))
    , m_callback(std::move(callback)) {}

LocalEventMonitor::~LocalEventMonitor() {
    stop();
}

LocalEventMonitor &LocalEventMonitor::start() {
    // Starting twice must not install the filter twice: every event would be seen twice.
    if (!m_isRunning && QCoreApplication::instance()) {
        QCoreApplication::instance()->installEventFilter(this);
        m_isRunning = true;
    }
    return *this;
}

void LocalEventMonitor::stop() {
    if (!m_isRunning)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    m_isRunning = false;
    m_offeredPress.forget();
}

bool LocalEventMonitor::eventFilter(QObject *watched, QEvent *event) {
    if (m_isDeliveringReplacement || !m_events.contains(event->type()))
        return false;
    const bool offerHere = m_delivery.shouldOffer(watched, event);
    if (event->type() == QEvent::KeyPress && m_offeredPress.isPending(*static_cast<QKeyEvent *>(event))) {
        // Seen already as its shortcut override.
        if (offerHere)
            m_offeredPress.forget();
        return false;
    }
    if (!offerHere)
        return false;
    if (event->type() == QEvent::ShortcutOverride)
        m_offeredPress.offered(*static_cast<QKeyEvent *>(event), /*consumed=*/false);
    const QPointer<LocalEventMonitor> self(this);
    Q_EMIT objectWillChange(watched, event);
    if (!self || !m_callback)
        return false;
    std::unique_ptr<QEvent> replacement = m_callback(watched, event);
    if (!self || !replacement)
        return false;
    m_isDeliveringReplacement = true;
    QCoreApplication::sendEvent(watched, replacement.get());
    if (self)
        m_isDeliveringReplacement = false;
    return true;
}

} // namespace kestrova::platform::desktop

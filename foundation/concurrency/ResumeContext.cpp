#include "ResumeContext.h"

#include <QMetaObject>
#include <QObject>

namespace kestrova {

ResumeContext::ResumeContext() {
    thread_local QObject receiver;
    m_receiver = &receiver;
}

void ResumeContext::resume(std::coroutine_handle<> handle) const {
    QMetaObject::invokeMethod(
        m_receiver, [handle] { handle.resume(); }, Qt::QueuedConnection);
}

} // namespace kestrova

#include "ListenerHolder.h"

namespace kestrova {

ListenerHolder::~ListenerHolder() {
    const auto center = m_notificationCenter.lock();
    if (!center)
        return;
    for (const auto token : m_tokens)
        center->removeObserver(token);
}

void ListenerHolder::addObserver(const QString &name, const void *object,
                                 platform::NotificationCenter::Handler handler) {
    if (const auto center = m_notificationCenter.lock())
        m_tokens.push_back(center->addObserver(name, object, std::move(handler)));
}

} // namespace kestrova

#pragma once

#include "platform/observation/NotificationCenter.h"

#include <memory>
#include <vector>

namespace kestrova {

// Holds observer registrations on a center it does not keep alive. When the holder is destroyed and the
// center still exists, every observer it holds is removed, in the order they were added.
class ListenerHolder {
public:
    explicit ListenerHolder(std::weak_ptr<platform::NotificationCenter> notificationCenter)
        : m_notificationCenter(std::move(notificationCenter)) {}
    ~ListenerHolder();
    ListenerHolder(const ListenerHolder &) = delete;
    ListenerHolder &operator=(const ListenerHolder &) = delete;

    // Registers on the held center; does nothing when the center is gone.
    void addObserver(const QString &name, const void *object, platform::NotificationCenter::Handler handler);

    const std::vector<platform::NotificationCenter::ObserverId> &tokens() const { return m_tokens; }

private:
    std::weak_ptr<platform::NotificationCenter> m_notificationCenter;
    std::vector<platform::NotificationCenter::ObserverId> m_tokens;
};

} // namespace kestrova

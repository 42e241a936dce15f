#pragma once

#include "platform/observation/NotificationCenter.h"

#include <memory>

namespace kestrova {

// The default notification center as a shared pointer, for tokens and holders; it lives for the whole
// process.
std::shared_ptr<platform::NotificationCenter> sharedDefaultNotificationCenter();

// An observer registration that removes itself from its center when the token is destroyed. The token keeps
// its center alive. Hold it in a std::unique_ptr or std::shared_ptr; dropping the last one unregisters.
class NotificationToken {
public:
    NotificationToken(std::shared_ptr<platform::NotificationCenter> notificationCenter,
                      platform::NotificationCenter::ObserverId token);
    ~NotificationToken();
    NotificationToken(const NotificationToken &) = delete;
    NotificationToken &operator=(const NotificationToken &) = delete;

    // Registers `handler` and returns the token that keeps it registered.
    static std::unique_ptr<NotificationToken> observe(std::shared_ptr<platform::NotificationCenter> center,
                                                      const QString &name, const void *object,
                                                      platform::NotificationCenter::Handler handler);

    const std::shared_ptr<platform::NotificationCenter> &notificationCenter() const {
        return m_notificationCenter;
    }
    platform::NotificationCenter::ObserverId token() const { return m_token; }

private:
    std::shared_ptr<platform::NotificationCenter> m_notificationCenter;
    platform::NotificationCenter::ObserverId m_token;
};

} // namespace kestrova

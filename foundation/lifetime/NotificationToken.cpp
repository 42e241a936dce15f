#include "NotificationToken.h"

namespace kestrova {

std::shared_ptr<platform::NotificationCenter> sharedDefaultNotificationCenter() {
    static const std::shared_ptr<platform::NotificationCenter> center(
        &platform::NotificationCenter::defaultCenter(), [](platform::NotificationCenter *) {});
    return center;
}

NotificationToken::NotificationToken(std::shared_ptr<platform::NotificationCenter> notificationCenter,
                                     platform::NotificationCenter::ObserverId token)
    : m_notificationCenter(std::move(notificationCenter))
    , m_token(token) {
    Q_ASSERT(m_notificationCenter);
}

NotificationToken::~NotificationToken() {
    if (m_notificationCenter)
        m_notificationCenter->removeObserver(m_token);
}

std::unique_ptr<NotificationToken>
NotificationToken::observe(std::shared_ptr<platform::NotificationCenter> center, const QString &name,
                           const void *object, platform::NotificationCenter::Handler handler) {
    const auto id = center->addObserver(name, object, std::move(handler));
    return std::make_unique<NotificationToken>(std::move(center), id);
}

} // namespace kestrova

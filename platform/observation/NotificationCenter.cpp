#include "NotificationCenter.h"

#include <algorithm>

namespace kestrova::platform {

NotificationCenter &NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const QString &name, const void *object,
                                                               Handler handler) {
    std::lock_guard lock(m_mutex);
    const ObserverId id = m_nextId++;
    m_entries.push_back({id, name, object, std::make_shared<Handler>(std::move(handler))});
    return id;
}

void NotificationCenter::removeObserver(ObserverId id) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [matchedId = id](const Entry &entry) { return entry.id == matchedId; });
}

void NotificationCenter::post(const Notification &notification) {
    std::vector<std::pair<ObserverId, std::shared_ptr<Handler>>> matching;
    {
        std::lock_guard lock(m_mutex);
        for (const auto &entry : m_entries) {
            if (!entry.name.isEmpty() && entry.name != notification.name)
                continue;
            if (entry.object && entry.object != notification.object)
                continue;
            matching.emplace_back(entry.id, entry.handler);
        }
    }
    for (const auto &[id, handler] : matching) {
        // An observer removed by an earlier handler of this same post is not called any more.
        {
            std::lock_guard lock(m_mutex);
            const bool stillRegistered =
                std::any_of(m_entries.begin(), m_entries.end(),
                            [matchedId = id](const Entry &entry) { return entry.id == matchedId; });
            if (!stillRegistered)
                continue;
        }
        (*handler)(notification);
    }
}

} // namespace kestrova::platform

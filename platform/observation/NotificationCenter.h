#pragma once

#include <QString>

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrova::platform {

// A named notification: who posted it (compared by identity only) and what it carries.
struct Notification {
    using UserInfo = std::map<QString, std::any>;

    QString name;
    const void *object = nullptr;
    UserInfo userInfo;
};

// Process-wide broadcast of named notifications. Observers run synchronously on the posting thread,
// after the center's lock is released, so that an observer may post, add or remove observers itself.
class NotificationCenter {
public:
    using ObserverId = std::uint64_t;
    using Handler = std::function<void(const Notification &)>;

    static NotificationCenter &defaultCenter();

    // `name` empty observes every notification; `object` null observes every sender.
    ObserverId addObserver(const QString &name, const void *object, Handler handler);
    void removeObserver(ObserverId id);
    void post(const Notification &notification);

private:
    struct Entry {
        ObserverId id;
        QString name;
        const void *object;
        std::shared_ptr<Handler> handler;
    };
    std::mutex m_mutex;
    std::vector<Entry> m_entries;
    ObserverId m_nextId = 1;
};

} // namespace kestrova::platform

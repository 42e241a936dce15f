#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kestrova::platform {

// Keeps one observer registered for as long as it lives. Dropping it (or calling cancel) unregisters the
// observer; it may outlive the observed object, and it may be dropped from inside a notification.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel)
        : m_cancel(std::move(cancel)) {}
    ~Subscription() { cancel(); }
    Subscription(Subscription &&other) noexcept
        : m_cancel(std::exchange(other.m_cancel, nullptr)) {}
    Subscription &operator=(Subscription &&other) noexcept {
        if (this != &other) {
            cancel();
            m_cancel = std::exchange(other.m_cancel, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription &) = delete;
    Subscription &operator=(const Subscription &) = delete;

    void cancel() {
        if (auto cancel = std::exchange(m_cancel, nullptr))
            cancel();
    }
    bool isActive() const { return bool(m_cancel); }

private:
    std::function<void()> m_cancel;
};

// The observers of one kind of event, called in the order they subscribed. Safe against observers that
// subscribe, unsubscribe or destroy the list while it notifies: those added during a notification wait for
// the next one, those removed are not called again.
template <typename... Args> class ObserverList {
public:
    using Handler = std::function<void(Args...)>;

    ObserverList() = default;
    ObserverList(const ObserverList &) = delete;
    ObserverList &operator=(const ObserverList &) = delete;

    [[nodiscard]] Subscription subscribe(Handler handler) {
        auto entry = std::make_shared<Entry>(Entry{std::move(handler), true});
        m_entries->push_back(entry);
        return Subscription([entries = std::weak_ptr<Entries>(m_entries), weakEntry = std::weak_ptr(entry)] {
            const auto entry = weakEntry.lock();
            if (!entry)
                return;
            entry->active = false;
            if (const auto list = entries.lock())
                std::erase(*list, entry);
        });
    }

    void notify(Args... args) const {
        const auto snapshot = *m_entries;
        const std::weak_ptr<Entries> alive = m_entries;
        for (const auto &entry : snapshot) {
            if (alive.expired())
                return;
            if (!entry->active)
                continue;
            // A copy, so that an observer that cancels itself does not destroy the function it runs in.
            const Handler handler = entry->handler;
            handler(args...);
        }
    }

    bool isEmpty() const { return m_entries->empty(); }

private:
    struct Entry {
        Handler handler;
        bool active;
    };
    using Entries = std::vector<std::shared_ptr<Entry>>;
    std::shared_ptr<Entries> m_entries = std::make_shared<Entries>();
};

} // namespace kestrova::platform

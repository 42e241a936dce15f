#pragma once

#include <QString>

#include <limits>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace kestrova {

// An in-memory cache of shared objects that evicts the least recently used entries when it holds more
// than `countLimit` objects or more than `totalCostLimit` of their summed costs (a limit of 0 or below means
// none). Objects are shared: one evicted while a caller holds it lives on with that caller. Safe to use
// from any thread.
template <typename Key, typename Object> class ObjectCache {
public:
    ObjectCache() = default;
    ObjectCache(QString name, qsizetype totalCostLimit, qsizetype countLimit)
        : m_name(std::move(name))
        , m_totalCostLimit(totalCostLimit)
        , m_countLimit(countLimit) {}
    ObjectCache(const ObjectCache &) = delete;
    ObjectCache &operator=(const ObjectCache &) = delete;

    // A new, empty cache with no name and no limits. Every call gives a cache of its own.
    static std::shared_ptr<ObjectCache> shared() { return std::make_shared<ObjectCache>(); }

    QString name() const {
        const std::lock_guard lock(m_mutex);
        return m_name;
    }
    qsizetype totalCostLimit() const {
        const std::lock_guard lock(m_mutex);
        return m_totalCostLimit;
    }
    qsizetype countLimit() const {
        const std::lock_guard lock(m_mutex);
        return m_countLimit;
    }
    qsizetype count() const {
        const std::lock_guard lock(m_mutex);
        return qsizetype(m_entries.size());
    }

    // The object stored for the key, or none.
    std::shared_ptr<Object> object(const Key &key) {
        const std::lock_guard lock(m_mutex);
        const auto found = m_entries.find(key);
        if (found == m_entries.end())
            return nullptr;
        m_recency.splice(m_recency.begin(), m_recency, found->second.recency);
        return found->second.object;
    }

    // Stores the object for the key; no object removes the key's entry. A negative cost counts as 0.
    void setObject(const Key &key, std::shared_ptr<Object> object, qsizetype cost = 0) {
        const std::lock_guard lock(m_mutex);
        removeLocked(key);
        if (!object)
            return;
        m_recency.push_front(key);
        const qsizetype entryCost = cost > 0 ? cost : 0;
        m_entries.emplace(key, Entry{std::move(object), entryCost, m_recency.begin()});
        // Absurd costs saturate rather than overflow; the cache then simply evicts everything else.
        if (__builtin_add_overflow(m_totalCost, entryCost, &m_totalCost))
            m_totalCost = std::numeric_limits<qsizetype>::max();
        evictLocked();
    }

    void removeObject(const Key &key) {
        const std::lock_guard lock(m_mutex);
        removeLocked(key);
    }
    void removeAllObjects() {
        const std::lock_guard lock(m_mutex);
        m_entries.clear();
        m_recency.clear();
        m_totalCost = 0;
    }

private:
    struct Entry {
        std::shared_ptr<Object> object;
        qsizetype cost;
        typename std::list<Key>::iterator recency;
    };

    void removeLocked(const Key &key) {
        const auto found = m_entries.find(key);
        if (found == m_entries.end())
            return;
        m_totalCost -= found->second.cost;
        m_recency.erase(found->second.recency);
        m_entries.erase(found);
    }
    bool isOverLimitLocked() const {
        return (m_countLimit > 0 && qsizetype(m_entries.size()) > m_countLimit) ||
               (m_totalCostLimit > 0 && m_totalCost > m_totalCostLimit);
    }
    void evictLocked() {
        while (!m_recency.empty() && isOverLimitLocked()) {
            const Key oldest = m_recency.back();
            removeLocked(oldest);
        }
    }

    mutable std::mutex m_mutex;
    QString m_name;
    qsizetype m_totalCostLimit = 0;
    qsizetype m_countLimit = 0;
    qsizetype m_totalCost = 0;
    std::list<Key> m_recency;
    std::unordered_map<Key, Entry> m_entries;
};

} // namespace kestrova

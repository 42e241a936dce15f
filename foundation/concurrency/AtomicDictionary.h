#pragma once

#include "ReadersWriterLock.h"

#include <QDebug>
#include <QString>

#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kestrova {

// A dictionary that guards itself with its own readers-writer lock, for the few values that background
// work and the main thread share. Reads run side by side; each write runs alone before it returns (see
// ReadersWriterLock), so a thread that writes and then reads sees its write. Iterating walks a snapshot
// taken when the iteration began: later writes do not show in it, and it stays valid however long it is
// held. Copying makes no sense for a shared container, so there is none.
template <typename Key, typename Value, typename Hash = std::hash<Key>> class AtomicDictionary {
public:
    using Storage = std::unordered_map<Key, Value, Hash>;

    // Walks a snapshot that it keeps alive itself; compares equal to `Sentinel` once the snapshot is done.
    class Sentinel {};
    class Iterator {
    public:
        using value_type = typename Storage::value_type;
        using difference_type = std::ptrdiff_t;

        Iterator() = default;
        explicit Iterator(std::shared_ptr<const Storage> snapshot)
            : m_snapshot(std::move(snapshot))
            , m_position(m_snapshot->begin()) {}

        const value_type &operator*() const { return *m_position; }
        const value_type *operator->() const { return &*m_position; }
        Iterator &operator++() {
            ++m_position;
            return *this;
        }
        void operator++(int) { ++m_position; }
        bool operator==(Sentinel) const { return !m_snapshot || m_position == m_snapshot->end(); }

    private:
        std::shared_ptr<const Storage> m_snapshot;
        typename Storage::const_iterator m_position;
    };

    AtomicDictionary()
        : m_lock(QStringLiteral("org.kestrova.Kestrova.AtomicDictionary")) {}
    AtomicDictionary(const AtomicDictionary &) = delete;
    AtomicDictionary &operator=(const AtomicDictionary &) = delete;

    std::optional<Value> value(const Key &key) const {
        return m_lock.read([&]() -> std::optional<Value> {
            const auto found = m_storage.find(key);
            if (found == m_storage.end())
                return std::nullopt;
            return found->second;
        });
    }

    // No value removes the key.
    void setValue(const Key &key, std::optional<Value> value) {
        m_lock.write([&] {
            if (value)
                m_storage.insert_or_assign(key, std::move(*value));
            else
                m_storage.erase(key);
        });
    }

    // Stores every entry of `entries` (any range of key-value pairs), replacing values already there.
    template <typename Entries> void merge(const Entries &entries) {
        m_lock.write([&] {
            for (const auto &[key, value] : entries)
                m_storage.insert_or_assign(key, value);
        });
    }

    Iterator makeIterator() const { return Iterator(snapshot()); }
    Iterator begin() const { return makeIterator(); }
    Sentinel end() const { return {}; }

    std::vector<std::pair<Key, Value>> keyValuePairs() const {
        return m_lock.read(
            [&] { return std::vector<std::pair<Key, Value>>(m_storage.begin(), m_storage.end()); });
    }

    // "[key: value, …]" as the debug stream prints keys and values.
    QString debugDescription() const {
        return m_lock.read([&] {
            QString text;
            QDebug stream(&text);
            stream.nospace() << "[";
            bool first = true;
            for (const auto &[key, value] : m_storage) {
                if (!first)
                    stream << ", ";
                first = false;
                stream << key << ": " << value;
            }
            stream << "]";
            return text;
        });
    }

    // The container promises nothing about its size ahead of a walk.
    static constexpr std::size_t underestimatedCount() { return 0; }

    const ReadersWriterLock &lock() const { return m_lock; }

private:
    std::shared_ptr<const Storage> snapshot() const {
        return m_lock.read([&] { return std::make_shared<const Storage>(m_storage); });
    }

    ReadersWriterLock m_lock;
    Storage m_storage;
};

} // namespace kestrova

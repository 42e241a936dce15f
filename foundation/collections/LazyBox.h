#pragma once

#include "foundation/values/HashCombine.h"
#include "PassThroughComparisons.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

namespace kestrova {

// A value made on first read by its producer, which runs at most once even when several threads read the
// first time together. Once made, reads take no lock. Comparisons and hashing pass through to the value.
template <typename T> class LazyBox : public PassThroughComparisons<LazyBox<T>, T> {
public:
    explicit LazyBox(std::function<T()> closure)
        : m_closure(std::move(closure)) {}
    LazyBox(const LazyBox &) = delete;
    LazyBox &operator=(const LazyBox &) = delete;

    const T &wrappedValue() const {
        if (m_isMade.load(std::memory_order_acquire))
            return *m_wrappedValue;
        const std::lock_guard lock(m_lock);
        if (!m_isMade.load(std::memory_order_relaxed)) {
            m_wrappedValue.emplace(m_closure());
            m_closure = nullptr;
            m_isMade.store(true, std::memory_order_release);
        }
        return *m_wrappedValue;
    }

private:
    mutable std::mutex m_lock;
    mutable std::function<T()> m_closure;
    mutable std::optional<T> m_wrappedValue;
    mutable std::atomic<bool> m_isMade = false;
};

} // namespace kestrova

template <typename T>
requires kestrova::Hashable<T>
struct std::hash<kestrova::LazyBox<T>> {
    std::size_t operator()(const kestrova::LazyBox<T> &box) const {
        return kestrova::HashOf<T>{}(box.wrappedValue());
    }
};

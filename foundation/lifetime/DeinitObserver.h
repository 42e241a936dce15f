#pragma once

#include <functional>

namespace kestrova {

// Runs a closure once, when the observer is destroyed.
class DeinitObserver {
public:
    explicit DeinitObserver(std::function<void()> closure)
        : m_closure(std::move(closure)) {}
    DeinitObserver(const DeinitObserver &) = delete;
    DeinitObserver &operator=(const DeinitObserver &) = delete;
    ~DeinitObserver() {
        if (const auto closure = std::move(m_closure))
            closure();
    }

private:
    std::function<void()> m_closure;
};

} // namespace kestrova

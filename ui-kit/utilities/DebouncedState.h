#pragma once

#include "foundation/time/Debouncer.h"
#include "platform/observation/Subscription.h"

#include <chrono>
#include <functional>
#include <utility>

namespace kestrova {

// A value whose observers hear of it only after it has stopped changing for `delay`: `value` is what was
// written last, `debouncedValue` the copy published after the pause. Main thread only.
template <typename Value> class DebouncedState {
public:
    DebouncedState(Value initialValue, std::chrono::milliseconds delay)
        : m_value(initialValue)
        , m_debouncedValue(std::move(initialValue))
        , m_debouncer(delay) {}
    DebouncedState(const DebouncedState &) = delete;
    DebouncedState &operator=(const DebouncedState &) = delete;

    const Value &value() const { return m_value; }
    const Value &debouncedValue() const { return m_debouncedValue; }

    void setValue(Value value) {
        m_value = std::move(value);
        m_debouncer([this] {
            m_debouncedValue = m_value;
            m_observers.notify(m_debouncedValue);
        });
    }

    // Told each published value.
    [[nodiscard]] platform::Subscription observe(std::function<void(const Value &)> handler) {
        return m_observers.subscribe(std::move(handler));
    }

private:
    Value m_value;
    Value m_debouncedValue;
    platform::ObserverList<const Value &> m_observers;
    // Last, so that a pending publication is dropped before the values go.
    Debouncer m_debouncer;
};

} // namespace kestrova

#pragma once

#include <memory>
#include <utility>

namespace kestrova::platform {

// State of a view that lives in a shared box: copies of the view share it, and replacing the value does
// not make the view render again.
template <typename Value> class ViewStorage {
public:
    ViewStorage()
        : m_box(std::make_shared<Value>()) {}
    explicit ViewStorage(Value initial)
        : m_box(std::make_shared<Value>(std::move(initial))) {}

    const Value &value() const { return *m_box; }
    void setValue(Value value) const { *m_box = std::move(value); }

private:
    std::shared_ptr<Value> m_box;
};

} // namespace kestrova::platform

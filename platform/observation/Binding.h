#pragma once

#include <functional>
#include <utility>

namespace kestrova::platform {

// A two-way connection to a value that lives elsewhere: reads and writes go straight to its owner, so a
// control bound to it stores each edit at once.
template <typename Value> class Binding {
public:
    Binding(std::function<Value()> get, std::function<void(const Value &)> set)
        : m_get(std::move(get))
        , m_set(std::move(set)) {}

    Value get() const { return m_get(); }
    void set(const Value &value) const { m_set(value); }

private:
    std::function<Value()> m_get;
    std::function<void(const Value &)> m_set;
};

} // namespace kestrova::platform

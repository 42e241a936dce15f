#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kestrova {

// Feeds values one after another into one hash, so that a value type can hash its fields in a fixed order.
// Floating-point zeros are fed as +0, since -0 == +0 and equal values must hash alike.
class Hasher {
public:
    void combineHash(std::size_t hash) {
        // The 64-bit golden-ratio mix: order-sensitive, so (a, b) and (b, a) differ.
        m_state ^= hash + 0x9e3779b97f4a7c15ULL + (m_state << 6) + (m_state >> 2);
    }
    void combine(double value) {
        if (value == 0)
            value = 0.0;
        combineHash(std::hash<double>{}(value));
    }
    template <typename Value> void combine(const Value &value) { combineHash(std::hash<Value>{}(value)); }

    std::size_t finalize() const { return static_cast<std::size_t>(m_state); }

private:
    std::uint64_t m_state = 0;
};

} // namespace kestrova

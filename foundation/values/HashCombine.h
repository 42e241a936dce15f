#pragma once

#include <QHashFunctions>

#include <concepts>
#include <cstddef>
#include <functional>

namespace kestrova {

// The hash of one value: std::hash where the type has it, else Qt's qHash (QString and the other Qt value types).
template <typename T> struct HashOf {
    std::size_t operator()(const T &value) const {
        if constexpr (requires { std::hash<T>{}(value); })
            return std::hash<T>{}(value);
        else
            return static_cast<std::size_t>(qHash(value));
    }
};

template <typename T>
concept Hashable = requires(const T &value) {
    { HashOf<T>{}(value) } -> std::convertible_to<std::size_t>;
};

// Feeds one more value into a running hash, order-sensitively (the combination step of boost::hash_combine).
template <Hashable T> void hashCombine(std::size_t &seed, const T &value) {
    seed ^= HashOf<T>{}(value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

template <typename T>
concept LessThanComparable = requires(const T &lhs, const T &rhs) {
    { lhs < rhs } -> std::convertible_to<bool>;
};

} // namespace kestrova

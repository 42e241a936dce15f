#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <iterator>
#include <ranges>
#include <utility>

namespace kestrova {

// The kit's key-value sequences: anything that iterates over pairs, whether the pairs name their parts
// `first` / `second` (the standard maps) or `key` / `value` (OrderedDictionary). The routines that print one
// line per pair take any of them. A container that must be read under a lock (AtomicDictionary) takes part by
// offering `snapshot()`, a copy of its pairs taken under that lock, which is what those routines then
// iterate.

template <typename Pair>
concept NamedKeyValuePair = requires(const Pair &pair) {
    pair.key;
    pair.value;
};

template <typename Pair>
concept StandardKeyValuePair = requires(const Pair &pair) {
    pair.first;
    pair.second;
};

template <typename Pair> decltype(auto) keyOf(const Pair &pair) {
    if constexpr (NamedKeyValuePair<Pair>)
        return (pair.key);
    else
        return (pair.first);
}

template <typename Pair> decltype(auto) valueOf(const Pair &pair) {
    if constexpr (NamedKeyValuePair<Pair>)
        return (pair.value);
    else
        return (pair.second);
}

template <typename Sequence>
concept KeyValueSequence = std::ranges::input_range<const Sequence> &&
    (NamedKeyValuePair<std::ranges::range_value_t<const Sequence>> ||
     StandardKeyValuePair<std::ranges::range_value_t<const Sequence>>);

template <typename Sequence>
concept HashableKeyValueSequence = KeyValueSequence<Sequence> &&
    requires(const std::ranges::range_value_t<const Sequence> &pair) {
    {
        std::hash<std::remove_cvref_t<decltype(keyOf(pair))>>{}(keyOf(pair))
        } -> std::convertible_to<std::size_t>;
};

template <typename Sequence>
concept HashableKeyValueCollection =
    HashableKeyValueSequence<Sequence> && std::ranges::sized_range<const Sequence>;

template <typename Container>
concept KeyValueSnapshotSource = requires(const Container &container) {
    { container.snapshot() } -> KeyValueSequence;
};

} // namespace kestrova

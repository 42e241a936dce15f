#pragma once

// Sorting by a key, by a comparison of keys or by a test of each element. Every sort here is a merge sort:
// a key that does not order strictly (a NaN among numbers, a comparison that contradicts itself) gives a
// muddled order but never a fault. A key function or test that throws stops the sort and the exception
// reaches the caller; the in-place forms then leave the list as it was.

#include <algorithm>
#include <functional>
#include <iterator>
#include <ranges>
#include <vector>

namespace kestrova {

enum class SortOrder { ascending, descending };

namespace detail {

template <typename Element, typename Less>
void sortKeepingOriginalOnFailure(std::vector<Element> &elements, Less less) {
    std::vector<Element> working = elements;
    std::ranges::stable_sort(working, less);
    elements = std::move(working);
}

template <std::ranges::input_range Range> auto copiedToVector(const Range &range) {
    return std::vector<std::ranges::range_value_t<Range>>(std::ranges::begin(range), std::ranges::end(range));
}

} // namespace detail

// By the key that `key` (a member pointer or a function of the element, which may throw) gives: ascending
// puts a before b when key(a) < key(b), descending when key(a) > key(b).
template <typename Element, typename Key>
void sortByKey(std::vector<Element> &elements, Key key, SortOrder order = SortOrder::ascending) {
    detail::sortKeepingOriginalOnFailure(elements, [&key, order](const Element &lhs, const Element &rhs) {
        if (order == SortOrder::ascending)
            return std::invoke(key, lhs) < std::invoke(key, rhs);
        return std::invoke(key, lhs) > std::invoke(key, rhs);
    });
}

// By the key, a before b when `keyGoesBefore(key(a), key(b))` holds. Keys are taken a first, then b.
template <typename Element, typename Key, typename KeyComparison>
requires std::invocable<KeyComparison &, std::invoke_result_t<Key &, const Element &>,
                        std::invoke_result_t<Key &, const Element &>>
void sortByKey(std::vector<Element> &elements, Key key, KeyComparison keyGoesBefore) {
    detail::sortKeepingOriginalOnFailure(elements,
                                         [&key, &keyGoesBefore](const Element &lhs, const Element &rhs) {
                                             auto lhsKey = std::invoke(key, lhs);
                                             auto rhsKey = std::invoke(key, rhs);
                                             return bool(std::invoke(keyGoesBefore, lhsKey, rhsKey));
                                         });
}

// Elements that pass `test` before those that fail it (ascending), or after them (descending). Elements
// with the same result keep no promised order.
template <typename Element, typename Test>
void sortByPredicate(std::vector<Element> &elements, Test test, SortOrder order = SortOrder::ascending) {
    detail::sortKeepingOriginalOnFailure(elements, [&test, order](const Element &lhs, const Element &rhs) {
        const bool lhsPasses = std::invoke(test, lhs);
        const bool rhsPasses = std::invoke(test, rhs);
        return order == SortOrder::ascending ? (lhsPasses && !rhsPasses) : (!lhsPasses && rhsPasses);
    });
}

template <std::ranges::input_range Range, typename Key, typename OrderOrComparison>
auto sortedByKey(const Range &range, Key key, OrderOrComparison orderOrComparison) {
    auto elements = detail::copiedToVector(range);
    sortByKey(elements, std::move(key), std::move(orderOrComparison));
    return elements;
}

template <std::ranges::input_range Range, typename Key> auto sortedByKey(const Range &range, Key key) {
    return sortedByKey(range, std::move(key), SortOrder::ascending);
}

template <std::ranges::input_range Range, typename Test>
auto sortedByPredicate(const Range &range, Test test, SortOrder order = SortOrder::ascending) {
    auto elements = detail::copiedToVector(range);
    sortByPredicate(elements, std::move(test), order);
    return elements;
}

} // namespace kestrova

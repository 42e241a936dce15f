#pragma once

#include <algorithm>
#include <functional>
#include <iterator>
#include <ranges>
#include <vector>

namespace kestrova {

enum class ComparisonResult { orderedAscending = -1, orderedSame = 0, orderedDescending = 1 };

// One rule for ordering two elements; a list of them orders by the first rule that tells the two apart.
template <typename Element> struct SortDescriptor {
    std::function<ComparisonResult(const Element &, const Element &)> compare;

    // Ascending by the key that `key` (a member pointer or a function of the element) gives.
    template <typename Key> static SortDescriptor ascending(Key key) {
        return byKey(std::move(key), /*reversed=*/false);
    }
    // Descending by the key.
    template <typename Key> static SortDescriptor descending(Key key) {
        return byKey(std::move(key), /*reversed=*/true);
    }

private:
    template <typename Key> static SortDescriptor byKey(Key key, bool reversed) {
        return {[key, reversed](const Element &lhs, const Element &rhs) {
            const auto &lhsKey = std::invoke(key, lhs);
            const auto &rhsKey = std::invoke(key, rhs);
            if (lhsKey == rhsKey)
                return ComparisonResult::orderedSame;
            return (lhsKey < rhsKey) != reversed ? ComparisonResult::orderedAscending
                                                 : ComparisonResult::orderedDescending;
        }};
    }
};

// Whether `lhs` goes before `rhs`: the first descriptor that does not find them the same decides; when all
// find them the same (or there are none), it does not.
template <typename Element>
bool goesBefore(const Element &lhs, const Element &rhs,
                const std::vector<SortDescriptor<Element>> &descriptors) {
    for (const SortDescriptor<Element> &descriptor : descriptors) {
        const ComparisonResult result = descriptor.compare(lhs, rhs);
        if (result != ComparisonResult::orderedSame)
            return result == ComparisonResult::orderedAscending;
    }
    return false;
}

// Sorted by the descriptors. Elements that every descriptor finds the same keep no promised order.
// The sort is a merge sort, so a descriptor that contradicts itself gives a muddled order, never a fault.
template <typename Element>
void sortByDescriptors(std::vector<Element> &elements,
                       const std::vector<SortDescriptor<Element>> &descriptors) {
    std::ranges::stable_sort(elements, [&descriptors](const Element &lhs, const Element &rhs) {
        return goesBefore(lhs, rhs, descriptors);
    });
}

template <std::ranges::input_range Range>
auto sortedByDescriptors(const Range &range,
                         const std::vector<SortDescriptor<std::ranges::range_value_t<Range>>> &descriptors) {
    std::vector<std::ranges::range_value_t<Range>> elements(std::ranges::begin(range),
                                                            std::ranges::end(range));
    sortByDescriptors(elements, descriptors);
    return elements;
}

} // namespace kestrova

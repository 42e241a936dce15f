#pragma once

#include "foundation/errors/FatalReason.h"
#include "foundation/values/HashCombine.h"

#include <QtGlobal>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <unordered_set>
#include <vector>

namespace kestrova {

// A list without duplicates, with hashed membership: each element stays where it was first appended, later
// duplicates are skipped. Equality sees the order. A value type: copies are independent.
template <typename Element> class OrderedSet {
public:
    using const_iterator = typename std::vector<Element>::const_iterator;
    using iterator = const_iterator;

    OrderedSet() = default;
    OrderedSet(std::initializer_list<Element> elements)
        : OrderedSet(std::vector<Element>(elements)) {}
    explicit OrderedSet(const std::vector<Element> &elements) {
        for (const Element &element : elements)
            append(element);
    }

    // True when the element was not there yet and has been added at the end.
    bool append(const Element &element) {
        if (!m_set.insert(element).second)
            return false;
        m_array.push_back(element);
        return true;
    }

    bool contains(const Element &element) const { return m_set.contains(element); }

    // The removed element, or nothing when it was not there.
    std::optional<Element> remove(const Element &element) {
        if (m_set.erase(element) == 0)
            return std::nullopt;
        const auto position = std::find(m_array.begin(), m_array.end(), element);
        Element removed = std::move(*position);
        m_array.erase(position);
        return removed;
    }

    // Programming errors on an empty set.
    Element removeFirst() {
        if (m_array.empty())
            fatalError(FatalReason(QStringLiteral("OrderedSet: removeFirst on an empty set")));
        Element removed = std::move(m_array.front());
        m_array.erase(m_array.begin());
        m_set.erase(removed);
        return removed;
    }
    Element removeLast() {
        if (m_array.empty())
            fatalError(FatalReason(QStringLiteral("OrderedSet: removeLast on an empty set")));
        Element removed = std::move(m_array.back());
        m_array.pop_back();
        m_set.erase(removed);
        return removed;
    }

    void removeAll(bool keepCapacity = false) {
        if (keepCapacity) {
            m_array.clear();
            m_set.clear();
            return;
        }
        std::vector<Element>().swap(m_array);
        std::unordered_set<Element, HashOf<Element>>().swap(m_set);
    }

    std::size_t size() const { return m_array.size(); }
    bool isEmpty() const { return m_array.empty(); }
    const std::vector<Element> &elements() const { return m_array; }
    const Element &operator[](std::size_t position) const { return m_array.at(position); }
    const_iterator begin() const { return m_array.begin(); }
    const_iterator end() const { return m_array.end(); }

    friend bool operator==(const OrderedSet &lhs, const OrderedSet &rhs) {
        return lhs.m_array == rhs.m_array;
    }

private:
    std::vector<Element> m_array;
    std::unordered_set<Element, HashOf<Element>> m_set;
};

} // namespace kestrova

#pragma once

#include <QtGlobal>

#include <iterator>
#include <ranges>
#include <utility>

namespace kestrova {

// A collection's elements paired with their positions, counted from 0 at the base's start. It holds a
// reference to a named collection and its own copy of a temporary one.
template <std::ranges::forward_range Base> class IndexedCollection {
    using BaseIterator = std::ranges::iterator_t<Base>;
    using BaseReference = std::ranges::range_reference_t<Base>;

public:
    struct Element {
        qsizetype index;
        BaseReference element;
    };

    explicit IndexedCollection(Base &&base)
        : m_base(std::forward<Base>(base)) {}

    class Iterator {
    public:
        using value_type = Element;
        using difference_type = std::ptrdiff_t;

        Iterator() = default;
        Iterator(BaseIterator position, qsizetype index)
            : m_position(position)
            , m_index(index) {}
        Element operator*() const { return {m_index, *m_position}; }
        Iterator &operator++() {
            ++m_position;
            ++m_index;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const Iterator &lhs, const Iterator &rhs) {
            return lhs.m_position == rhs.m_position;
        }

    private:
        BaseIterator m_position{};
        qsizetype m_index = 0;
    };

    Iterator begin() { return Iterator(std::ranges::begin(m_base), 0); }
    Iterator end() requires std::ranges::common_range<Base> {
        return Iterator(std::ranges::end(m_base), qsizetype(std::ranges::distance(m_base)));
    }

    qsizetype size() requires std::ranges::sized_range<Base> { return qsizetype(std::ranges::size(m_base)); }
    Element operator[](qsizetype index) requires std::ranges::random_access_range<Base> {
        return {index, std::ranges::begin(m_base)[index]};
    }

    Base &base() { return m_base; }

private:
    Base m_base;
};

template <typename Range> IndexedCollection(Range &&) -> IndexedCollection<Range>;

} // namespace kestrova

#pragma once

#include <iterator>
#include <optional>
#include <ranges>
#include <utility>

namespace kestrova {

// Each element of a sequence with the one before it and the one after it (none at the ends). The base is
// read one element ahead and only once, so single-pass sources work. It holds a reference to a named
// sequence and its own copy of a temporary one.
template <std::ranges::input_range Base> class NeighborSequence {
    using BaseIterator = std::ranges::iterator_t<Base>;
    using BaseSentinel = std::ranges::sentinel_t<Base>;

public:
    using Value = std::ranges::range_value_t<Base>;
    struct Neighbors {
        std::optional<Value> previous;
        Value current;
        std::optional<Value> next;
    };

    explicit NeighborSequence(Base &&base)
        : m_base(std::forward<Base>(base)) {}

    class Iterator {
    public:
        using value_type = Neighbors;
        using difference_type = std::ptrdiff_t;

        Iterator(BaseIterator position, BaseSentinel end)
            : m_position(std::move(position))
            , m_end(std::move(end)) {
            m_fetched = fetch();
            step();
        }
        const Neighbors &operator*() const { return *m_neighbors; }
        Iterator &operator++() {
            step();
            return *this;
        }
        void operator++(int) { step(); }
        friend bool operator==(const Iterator &iterator, std::default_sentinel_t) {
            return !iterator.m_neighbors;
        }

    private:
        std::optional<Value> fetch() {
            if (m_position == m_end)
                return std::nullopt;
            std::optional<Value> value(*m_position);
            ++m_position;
            return value;
        }
        void step() {
            if (!m_fetched) {
                m_neighbors.reset();
                return;
            }
            std::optional<Value> previous;
            if (m_neighbors)
                previous = std::move(m_neighbors->current);
            Value current = std::move(*m_fetched);
            m_fetched = fetch();
            m_neighbors = Neighbors{std::move(previous), std::move(current), m_fetched};
        }

        BaseIterator m_position;
        BaseSentinel m_end;
        std::optional<Value> m_fetched;
        std::optional<Neighbors> m_neighbors;
    };

    Iterator begin() { return Iterator(std::ranges::begin(m_base), std::ranges::end(m_base)); }
    std::default_sentinel_t end() { return {}; }

private:
    Base m_base;
};

template <typename Range> NeighborSequence(Range &&) -> NeighborSequence<Range>;

} // namespace kestrova

#pragma once

#include "WeakBox.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <vector>

namespace kestrova {

// A list of objects that does not keep them alive, one WeakBox per element in insertion order. A freed object
// keeps its position (reading null) until its box is removed; `liveElements` skips such boxes. The owner
// edits `storage` directly, and a registry that keeps appending calls `removeGone` so that it does not grow
// without bound with boxes of freed objects.
template <typename T> class WeakArray {
public:
    using Strong = typename WeakBox<T>::Strong;

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Strong;
        using difference_type = std::ptrdiff_t;
        using reference = Strong;
        using pointer = void;

        const_iterator() = default;
        Strong operator*() const { return m_box->wrappedValue(); }
        const_iterator &operator++() {
            ++m_box;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator previous = *this;
            ++m_box;
            return previous;
        }
        bool operator==(const const_iterator &other) const = default;

    private:
        friend class WeakArray;
        explicit const_iterator(typename std::vector<WeakBox<T>>::const_iterator box)
            : m_box(box) {}
        typename std::vector<WeakBox<T>>::const_iterator m_box;
    };

    WeakArray() = default;
    WeakArray(std::initializer_list<Strong> objects)
        : WeakArray(std::vector<Strong>(objects)) {}
    explicit WeakArray(const std::vector<Strong> &objects) {
        storage.reserve(objects.size());
        for (const Strong &object : objects)
            storage.emplace_back(object);
    }

    std::size_t size() const { return storage.size(); }
    bool isEmpty() const { return storage.empty(); }
    // The object at a position, or null when it was freed.
    Strong operator[](std::size_t position) const { return storage.at(position).wrappedValue(); }
    const_iterator begin() const { return const_iterator(storage.begin()); }
    const_iterator end() const { return const_iterator(storage.end()); }

    std::vector<Strong> liveElements() const {
        std::vector<Strong> live;
        live.reserve(storage.size());
        for (const WeakBox<T> &box : storage) {
            if (Strong object = box.wrappedValue())
                live.push_back(std::move(object));
        }
        return live;
    }

    // Drops the boxes of freed objects; returns how many were dropped.
    std::size_t removeGone() {
        return static_cast<std::size_t>(
            std::erase_if(storage, [](const WeakBox<T> &box) { return box.isGone(); }));
    }

    std::vector<WeakBox<T>> storage;
};

} // namespace kestrova

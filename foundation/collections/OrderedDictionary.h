#pragma once

#include "foundation/errors/FatalReason.h"
#include "foundation/values/HashCombine.h"
#include "foundation/text/TextFormatting.h"

#include <QtGlobal>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kestrova {

// A map that keeps the order in which its keys were first added, with hashed look-up. Writing an existing key
// keeps its place; removing a key and writing it again moves it to the end. A value type: copies are
// independent. Equality and hashing see the order, so the same pairs added in another order are not equal.
template <typename Key, typename Value> class OrderedDictionary {
public:
    struct Element {
        const Key &key;
        const Value &value;
    };

    class const_iterator {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = Element;
        using difference_type = std::ptrdiff_t;
        using reference = Element;
        struct pointer {
            Element element;
            const Element *operator->() const { return &element; }
        };

        const_iterator() = default;
        Element operator*() const { return m_dictionary->elementAt(m_position); }
        pointer operator->() const { return {**this}; }
        const_iterator &operator++() {
            ++m_position;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator previous = *this;
            ++m_position;
            return previous;
        }
        const_iterator &operator--() {
            if (m_position == 0)
                fatalError(FatalReason(
                    QStringLiteral("OrderedDictionary: cannot move back from the first position")));
            --m_position;
            return *this;
        }
        const_iterator operator--(int) {
            const_iterator previous = *this;
            --*this;
            return previous;
        }
        bool operator==(const const_iterator &other) const { return m_position == other.m_position; }

    private:
        friend class OrderedDictionary;
        const_iterator(const OrderedDictionary *dictionary, std::size_t position)
            : m_dictionary(dictionary)
            , m_position(position) {}

        const OrderedDictionary *m_dictionary = nullptr;
        std::size_t m_position = 0;
    };
    using iterator = const_iterator;

    OrderedDictionary() = default;

    // A literal: the keys must be distinct, a repeated key is a programming error.
    OrderedDictionary(std::initializer_list<std::pair<Key, Value>> literal) {
        m_orderedKeys.reserve(literal.size());
        for (const auto &[key, value] : literal) {
            if (!m_valuesDictionary.emplace(key, value).second)
                fatalError(FatalReason(QStringLiteral("OrderedDictionary: a literal repeats a key")));
            m_orderedKeys.push_back(key);
        }
    }

    // From any sequence of pairs, written in turn: a repeated key keeps its first place and its last value.
    template <std::input_iterator Iterator> OrderedDictionary(Iterator first, Iterator last) {
        for (; first != last; ++first) {
            const auto &pair = *first;
            set(keyOf(pair), valueOf(pair));
        }
    }

    std::size_t size() const { return m_orderedKeys.size(); }
    bool isEmpty() const { return m_orderedKeys.empty(); }
    bool contains(const Key &key) const { return m_valuesDictionary.contains(key); }
    const std::vector<Key> &keys() const { return m_orderedKeys; }

    const Value *find(const Key &key) const {
        const auto found = m_valuesDictionary.find(key);
        return found == m_valuesDictionary.end() ? nullptr : &found->second;
    }
    std::optional<Value> value(const Key &key) const {
        const Value *found = find(key);
        return found ? std::optional<Value>(*found) : std::nullopt;
    }

    void set(const Key &key, Value value) {
        const auto [position, inserted] = m_valuesDictionary.insert_or_assign(key, std::move(value));
        if (inserted)
            m_orderedKeys.push_back(key);
    }
    // No value removes the key.
    void set(const Key &key, std::optional<Value> value) {
        if (value)
            set(key, std::move(*value));
        else
            remove(key);
    }
    void remove(const Key &key) {
        if (m_valuesDictionary.erase(key) == 0)
            return;
        m_orderedKeys.erase(std::find(m_orderedKeys.begin(), m_orderedKeys.end(), key));
    }

    // The pair at a position 0 ..< size().
    Element elementAt(std::size_t position) const {
        const Key &key = m_orderedKeys.at(position);
        const auto found = m_valuesDictionary.find(key);
        if (found == m_valuesDictionary.end())
            fatalError(FatalReason(QStringLiteral("OrderedDictionary: a key in the order has no value")));
        return {key, found->second};
    }

    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_orderedKeys.size()}; }

    friend bool operator==(const OrderedDictionary &lhs,
                           const OrderedDictionary &rhs) requires std::equality_comparable<Value> {
        return lhs.m_orderedKeys == rhs.m_orderedKeys && lhs.m_valuesDictionary == rhs.m_valuesDictionary;
    }

    // The keys in order, then the values in key order: equal dictionaries hash alike.
    std::size_t hash() const requires Hashable<Key> && Hashable<Value> {
        std::size_t seed = m_orderedKeys.size();
        for (const Key &key : m_orderedKeys)
            hashCombine(seed, key);
        for (const Key &key : m_orderedKeys)
            hashCombine(seed, m_valuesDictionary.at(key));
        return seed;
    }

    // "[:]" when empty, otherwise ["key": value, …] with text in double quotes (not escaped).
    QString description() const {
        if (isEmpty())
            return QStringLiteral("[:]");
        QStringList entries;
        for (const Element element : *this)
            entries.append(describeQuotingText(element.key) + QStringLiteral(": ") +
                           describeQuotingText(element.value));
        return QLatin1Char('[') + entries.join(QStringLiteral(", ")) + QLatin1Char(']');
    }

private:
    std::vector<Key> m_orderedKeys;
    std::unordered_map<Key, Value, HashOf<Key>> m_valuesDictionary;
};

} // namespace kestrova

template <typename Key, typename Value>
requires kestrova::Hashable<Key> && kestrova::Hashable<Value>
struct std::hash<kestrova::OrderedDictionary<Key, Value>> {
    std::size_t operator()(const kestrova::OrderedDictionary<Key, Value> &dictionary) const {
        return dictionary.hash();
    }
};

#pragma once

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <concepts>
#include <initializer_list>
#include <iterator>
#include <unordered_map>
#include <vector>

namespace kestrova {

// The cases of an enumeration in declaration order. Specialise it beside the enumeration:
//     template <> struct EnumCases<Fruit> { static constexpr std::array all{Fruit::apple, Fruit::pear}; };
template <typename Enum> struct EnumCases;

template <typename Enum>
concept CaseIterable = requires {
    { EnumCases<Enum>::all.size() } -> std::convertible_to<std::size_t>;
};

namespace detail {
[[noreturn]] void stopForEnumCaseWithoutValue(int caseValue);
}

// A value for every case of an enumeration, iterated in the cases' declaration order whatever the order of
// the map it was made from. Cases left out at construction have neither a position nor an element. Every
// remaining case must have a value: the map checks this when it is made, and a map without one is a
// programming error that stops the process.
template <CaseIterable Key, typename Value> class EnumCaseMap {
public:
    struct Element {
        Key key;
        const Value &value;
    };

    explicit EnumCaseMap(std::unordered_map<Key, Value> values, std::initializer_list<Key> leftOut = {})
        : m_storage(std::move(values)) {
        for (const Key key : EnumCases<Key>::all) {
            if (std::find(leftOut.begin(), leftOut.end(), key) != leftOut.end())
                continue;
            m_cases.push_back(key);
            checkHasValue(key);
        }
    }

    const Value &operator[](Key key) const { return valueFor(key); }
    // Changes the stored value in place.
    Value &operator[](Key key) { return const_cast<Value &>(valueFor(key)); }
    void set(Key key, Value value) { m_storage.insert_or_assign(key, std::move(value)); }

    // The stored values, in no promised order.
    std::vector<Value> values() const {
        std::vector<Value> result;
        result.reserve(m_storage.size());
        for (const auto &entry : m_storage)
            result.push_back(entry.second);
        return result;
    }

    const std::vector<Key> &cases() const { return m_cases; }
    qsizetype size() const { return qsizetype(m_cases.size()); }
    Element element(qsizetype position) const {
        const Key key = m_cases.at(std::size_t(position));
        return {key, valueFor(key)};
    }

    class Iterator {
    public:
        using value_type = Element;
        using difference_type = std::ptrdiff_t;

        Iterator() = default;
        Iterator(const EnumCaseMap *map, qsizetype position)
            : m_map(map)
            , m_position(position) {}
        Element operator*() const { return m_map->element(m_position); }
        Iterator &operator++() {
            ++m_position;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++m_position;
            return before;
        }
        friend bool operator==(const Iterator &lhs, const Iterator &rhs) {
            return lhs.m_position == rhs.m_position;
        }

    private:
        const EnumCaseMap *m_map = nullptr;
        qsizetype m_position = 0;
    };

    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, size()); }

private:
    void checkHasValue(Key key) const {
        if (!m_storage.contains(key))
            detail::stopForEnumCaseWithoutValue(static_cast<int>(key));
    }
    const Value &valueFor(Key key) const {
        const auto found = m_storage.find(key);
        if (found == m_storage.end())
            detail::stopForEnumCaseWithoutValue(static_cast<int>(key));
        return found->second;
    }

    std::vector<Key> m_cases;
    std::unordered_map<Key, Value> m_storage;
};

} // namespace kestrova

#pragma once

#include <QObject>
#include <QPointer>

#include <concepts>
#include <memory>
#include <optional>
#include <type_traits>

namespace kestrova {

// A reference that does not keep its object alive: a std::weak_ptr for shared objects, a QPointer for
// QObjects (then objects are passed as plain pointers). Reading gives the object while it lives, else null; a
// read never races with the object being freed on another thread (shared objects) or is made on the object's
// thread (QObjects).
//
// Two boxes compare equal when both are empty or both objects are equal. Empty boxes order before live ones,
// so that sorting stays well defined when objects die. Boxes are not hashable: the hash of a box would change
// when its object dies.
template <typename T> class WeakBox {
public:
    static constexpr bool kHoldsQObject = std::derived_from<T, QObject>;
    using Strong = std::conditional_t<kHoldsQObject, T *, std::shared_ptr<T>>;

    WeakBox() = default;
    explicit WeakBox(const Strong &object)
        : m_wrappedValue(object) {}

    Strong wrappedValue() const {
        if constexpr (kHoldsQObject)
            return m_wrappedValue.data();
        else
            return m_wrappedValue.lock();
    }
    // A null object empties the box.
    void setWrappedValue(const Strong &object) { m_wrappedValue = object; }

    // True when the object was freed or never set.
    bool isGone() const {
        if constexpr (kHoldsQObject)
            return m_wrappedValue.isNull();
        else
            return m_wrappedValue.expired();
    }

    // A member of the object while it lives, else nothing.
    template <typename Member> std::optional<Member> value(Member T::*member) const {
        if (const Strong object = wrappedValue())
            return (*object).*member;
        return std::nullopt;
    }
    // Sets a member of the object while it lives; no value, or no object, does nothing.
    template <typename Member> void setValue(Member T::*member, std::optional<Member> value) {
        if (!value)
            return;
        if (const Strong object = wrappedValue())
            (*object).*member = std::move(*value);
    }

    friend bool operator==(const WeakBox &lhs, const WeakBox &rhs) requires std::equality_comparable<T> {
        const Strong left = lhs.wrappedValue();
        const Strong right = rhs.wrappedValue();
        if (!left || !right)
            return !left && !right;
        return *left == *right;
    }
    friend bool operator<(const WeakBox &lhs, const WeakBox &rhs) requires requires(const T &object) {
        object < object;
    }
    {
        const Strong left = lhs.wrappedValue();
        const Strong right = rhs.wrappedValue();
        if (!left || !right)
            return !left && right;
        return *left < *right;
    }

private:
    std::conditional_t<kHoldsQObject, QPointer<T>, std::weak_ptr<T>> m_wrappedValue;
};

} // namespace kestrova

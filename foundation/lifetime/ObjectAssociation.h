#pragma once

#include <any>
#include <concepts>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <unordered_map>

class QObject;

namespace kestrova {

// How an object holds a value attached to it. The numbers are the stable identities of the policies.
// Values are always stored as copies; for a shared object (std::shared_ptr) `assign` keeps only a weak
// reference (a read after the object is gone gives the default), the copy policies store a copy of the
// object, and the retain policies share it. Every slot is read and written under a lock, whatever the policy.
enum class AssociationPolicy : int {
    assign = 0,
    retainNonatomic = 1,
    copyNonatomic = 3,
    retain = 769,
    copy = 771,
};

// The values attached to one object, keyed by the address of the ObjectAssociation that names the slot. A
// value's destructor never runs under the table's lock, so it may attach or remove values on the same object.
class AssociationTable {
public:
    AssociationTable() = default;
    AssociationTable(const AssociationTable &) = delete;
    AssociationTable &operator=(const AssociationTable &) = delete;
    ~AssociationTable();

    // A copy of the slot's value; empty when the slot was never set.
    std::any value(const void *key) const;
    void setValue(const void *key, std::any value);
    void removeValue(const void *key);
    // Empties every slot, also those filled while the values are being released.
    void removeAll();

private:
    mutable std::mutex m_mutex;
    std::unordered_map<const void *, std::any> m_slots;
};

// A base for our own classes whose objects can carry associated values. The values are released when the
// object is destroyed (after the derived class's destructor). A copy of the object starts without any.
class AssociatedObjects {
public:
    AssociatedObjects();
    AssociatedObjects(const AssociatedObjects &);
    AssociatedObjects &operator=(const AssociatedObjects &) { return *this; }
    virtual ~AssociatedObjects();

    const std::shared_ptr<AssociationTable> &associationTable() const { return m_associationTable; }

private:
    std::shared_ptr<AssociationTable> m_associationTable;
};

// The table of a QObject, kept in a hidden child object and so released when the QObject is destroyed.
// `attachedAssociationTable` makes the table on first use and must run on the object's thread;
// `existingAssociationTable` only looks. No object has no table: both give null for a null object.
std::shared_ptr<AssociationTable> attachedAssociationTable(QObject *object);
std::shared_ptr<AssociationTable> existingAssociationTable(const QObject *object);

// One typed slot on every object: the association's own address is the key. Reading a slot that was never set
// (or holds another type) gives `defaultValue`, and writes nothing. Instances name slots for the whole
// process, so they are made once and never destroyed (a function-local `static auto *association = new …`).
template <typename T> class ObjectAssociation {
public:
    explicit ObjectAssociation(T defaultValue = T(),
                               AssociationPolicy policy = AssociationPolicy::retainNonatomic)
        : m_defaultValue(std::move(defaultValue))
        , m_policy(policy) {}
    ObjectAssociation(const ObjectAssociation &) = delete;
    ObjectAssociation &operator=(const ObjectAssociation &) = delete;

    const T &defaultValue() const { return m_defaultValue; }
    AssociationPolicy policy() const { return m_policy; }

    T get(const AssociatedObjects &object) const { return read(object.associationTable().get()); }
    T get(const AssociationTable *table) const { return read(table); }
    T get(const QObject *object) const { return read(existingAssociationTable(object).get()); }

    void set(AssociatedObjects &object, T value) const {
        object.associationTable()->setValue(this, stored(std::move(value)));
    }
    // Setting on no object stores nothing.
    void set(QObject *object, T value) const {
        if (const auto table = attachedAssociationTable(object))
            table->setValue(this, stored(std::move(value)));
    }
    void set(AssociationTable &table, T value) const { table.setValue(this, stored(std::move(value))); }
    // No value removes the slot, so that the next read gives the default.
    template <typename Optional>
    requires std::same_as<std::remove_cvref_t<Optional>, std::optional<T>>
    void set(AssociatedObjects &object, Optional &&value) const {
        if (value)
            set(object, *std::forward<Optional>(value));
        else
            remove(object);
    }
    template <typename Optional>
    requires std::same_as<std::remove_cvref_t<Optional>, std::optional<T>>
    void set(QObject *object, Optional &&value) const {
        if (value)
            set(object, *std::forward<Optional>(value));
        else
            remove(object);
    }

    void remove(AssociatedObjects &object) const { object.associationTable()->removeValue(this); }
    void remove(QObject *object) const {
        if (const auto table = existingAssociationTable(object))
            table->removeValue(this);
    }

private:
    template <typename> struct SharedObject : std::false_type {};
    template <typename U> struct SharedObject<std::shared_ptr<U>> : std::true_type { using Object = U; };

    std::any stored(T value) const {
        if constexpr (SharedObject<T>::value) {
            using Object = typename SharedObject<T>::Object;
            if (m_policy == AssociationPolicy::assign)
                return std::weak_ptr<Object>(value);
            if constexpr (std::is_copy_constructible_v<Object> && !std::is_abstract_v<Object>) {
                const bool copies =
                    m_policy == AssociationPolicy::copy || m_policy == AssociationPolicy::copyNonatomic;
                if (copies && value)
                    return T(std::make_shared<Object>(*value));
            }
        }
        return value;
    }

    T read(const AssociationTable *table) const {
        if (!table)
            return m_defaultValue;
        const std::any value = table->value(this);
        if (const T *held = std::any_cast<T>(&value))
            return *held;
        if constexpr (SharedObject<T>::value) {
            using Object = typename SharedObject<T>::Object;
            if (const auto *weak = std::any_cast<std::weak_ptr<Object>>(&value)) {
                if (T object = weak->lock())
                    return object;
            }
        }
        return m_defaultValue;
    }

    T m_defaultValue;
    AssociationPolicy m_policy;
};

} // namespace kestrova

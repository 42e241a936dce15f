#pragma once

#include "DefaultsSerializable.h"

#include "platform/defaults/UserDefaults.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kestrova::Defaults {

using platform::UserDefaults;
using Suite = std::shared_ptr<UserDefaults>;

// The untyped view of a key: the entry name and the suite that holds it. A list of keys of different
// value kinds is a list of AnyKey (to reset or observe several at once). Immutable once made.
class AnyKey {
public:
    AnyKey(QString name, Suite suite)
        : m_name(std::move(name))
        , m_suite(std::move(suite)) {}
    virtual ~AnyKey() = default;

    const QString &name() const { return m_name; }
    const Suite &suite() const { return m_suite; }

    // Removes the stored value; reads then yield the registered default.
    void reset() const { m_suite->removeObject(m_name); }

    // Keys are equal by name and suite; the value kind and the default take no part.
    bool operator==(const AnyKey &other) const { return m_name == other.m_name && m_suite == other.m_suite; }

private:
    QString m_name;
    Suite m_suite;
};

// A typed key: a name, the kind of value stored under it, the value to use when nothing usable is stored,
// and its suite. Making a key registers its default with the suite (again at every construction; the
// last registration wins), so that the suite itself answers with the default.
template <DefaultsSerializable Value> class Key : public AnyKey {
public:
    Key(QString name, Value defaultValue, Suite suite = UserDefaults::standard())
        : AnyKey(std::move(name), std::move(suite))
        , m_defaultValue(std::move(defaultValue)) {
        registerDefault();
    }

    // Only for optional kinds: no default, nothing registered.
    explicit Key(QString name, Suite suite = UserDefaults::standard()) requires IsOptional<Value>::value
        : AnyKey(std::move(name), std::move(suite)) {}

    const Value &defaultValue() const { return m_defaultValue; }

private:
    void registerDefault() const {
        if (representsNil(m_defaultValue))
            return;
        if (auto stored = storedForm(m_defaultValue))
            suite()->registerDefaults({{name(), std::move(*stored)}});
    }

    Value m_defaultValue{};
};

// Reads and writes by entry name, for callers that hold a name rather than a key: nothing when the
// entry is missing or does not convert.
template <DefaultsSerializable Value>
std::optional<Value> value(const UserDefaults &suite, const QString &name) {
    const auto stored = suite.object(name);
    if (!stored)
        return std::nullopt;
    return valueFromStored<Value>(*stored);
}

// Stores `value` under `name`. A value that stands for nothing removes the entry; so does a value without a
// stored form (the suite is handed no object). Never fails.
template <DefaultsSerializable Value>
void setValue(UserDefaults &suite, const Value &value, const QString &name) {
    if (representsNil(value)) {
        suite.removeObject(name);
        return;
    }
    suite.setObject(storedForm(value), name);
}

// The value of `key` in `suite`, or the key's default when nothing usable is stored. Never fails.
template <typename Value> Value get(const Key<Value> &key, const UserDefaults &suite) {
    auto stored = value<Value>(suite, key.name());
    return stored ? std::move(*stored) : key.defaultValue();
}
template <typename Value> void set(const Key<Value> &key, const Value &newValue, UserDefaults &suite) {
    setValue(suite, newValue, key.name());
}

template <typename Value> Value get(const Key<Value> &key) {
    return get(key, *key.suite());
}
template <typename Value> void set(const Key<Value> &key, const Value &newValue) {
    set(key, newValue, *key.suite());
}

// Reads the value, lets `change` edit it, and stores the result. When `change` throws, the half-edited
// value is not stored: what was stored stays as it was.
template <typename Value, typename Change> void mutate(const Key<Value> &key, Change &&change) {
    Value value = get(key);
    std::invoke(std::forward<Change>(change), value);
    set(key, value);
}

// Removes the stored values of the keys, in order.
void reset(const std::vector<std::reference_wrapper<const AnyKey>> &keys);
// Removes the stored values of the names from one suite, in order.
void reset(const QStringList &names, UserDefaults &suite);
// Removes every entry the suite can see, one name at a time.
inline void removeAll(UserDefaults &suite) {
    suite.removeAll();
}

} // namespace kestrova::Defaults

// Equal keys hash alike: the name, then the suite's identity.
template <> struct std::hash<kestrova::Defaults::AnyKey> {
    std::size_t operator()(const kestrova::Defaults::AnyKey &key) const {
        const std::size_t nameHash = qHash(key.name());
        return nameHash ^
               (std::hash<const void *>()(key.suite().get()) + 0x9e3779b97f4a7c15ULL + (nameHash << 6));
    }
};

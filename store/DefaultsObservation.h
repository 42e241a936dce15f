#pragma once

#include "Defaults.h"

#include "foundation/lifetime/LifetimeAssociation.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QObject;

namespace kestrova::Defaults {

enum class ObservationOption : unsigned { initial = 0x1, prior = 0x2 };

// A set of ObservationOption values.
class ObservationOptions {
public:
    ObservationOptions() = default;
    ObservationOptions(std::initializer_list<ObservationOption> options) {
        for (auto option : options)
            m_bits |= static_cast<unsigned>(option);
    }
    bool contains(ObservationOption option) const { return m_bits & static_cast<unsigned>(option); }
    bool operator==(const ObservationOptions &) const = default;

    // What the suite is asked for: always the old and the new value, plus initial or else prior.
    unsigned suiteOptions() const;

private:
    unsigned m_bits = 0;
};

// An untyped change of a stored key, as the suite reported it.
struct BaseChange {
    unsigned kind = 1;
    std::optional<std::vector<std::size_t>> indexes;
    bool isPrior = false;
    std::optional<PropertyListValue> newValue;
    std::optional<PropertyListValue> oldValue;
};

// A typed change of a key. Both values are always present: nothing stored, an unreadable object and a
// removal all read as the key's default.
template <typename Value> struct KeyChange {
    unsigned kind = 1;
    std::optional<std::vector<std::size_t>> indexes;
    bool isPrior = false;
    Value newValue;
    Value oldValue;

    bool operator==(const KeyChange &) const = default;
};

template <typename Value>
Value typedValue(const std::optional<PropertyListValue> &stored, const Value &defaultValue) {
    if (!stored)
        return defaultValue;
    auto value = valueFromStored<Value>(*stored);
    return value ? std::move(*value) : defaultValue;
}

template <typename Value> KeyChange<Value> typedChange(const BaseChange &change, const Value &defaultValue) {
    return {change.kind, change.indexes, change.isPrior, typedValue(change.newValue, defaultValue),
            typedValue(change.oldValue, defaultValue)};
}

// What every observation offers. Observations are held by shared_ptr; freeing one invalidates it.
class DefaultsObservation : public std::enable_shared_from_this<DefaultsObservation> {
public:
    virtual ~DefaultsObservation() = default;

    // Unregisters for good; later writes reach nothing. Harmless when repeated.
    virtual void invalidate() = 0;

    // Keeps the observation alive and registered while `owner` lives, and invalidates it when the owner
    // goes. A later binding replaces an earlier one.
    std::shared_ptr<DefaultsObservation> bindLifetime(QObject *owner);
    // Ends the binding without invalidating: the observation then lives as long as another holder keeps it.
    void releaseLifetimeBinding();

protected:
    void cancelLifetimeAssociation();

private:
    std::unique_ptr<LifetimeAssociation> m_lifetimeAssociation;
};

// Runs `body` with the change notifications of writes made on this thread suppressed. Suppression ends
// when `body` ends, also when it throws; a nested use therefore ends it for the outer one too.
void runWithoutNotifying(const std::function<void()> &body);
bool isNotificationSuppressedOnThisThread();

// The observation of one key of one suite. The suite is held weakly: when it goes, the observation
// invalidates itself at its next notification.
class UserDefaultsKeyObservation final : public DefaultsObservation, private platform::KeyValueObserver {
public:
    using Callback = std::function<void(const BaseChange &)>;

    UserDefaultsKeyObservation(const Suite &suite, QString key, Callback callback);
    ~UserDefaultsKeyObservation() override;

    void start(ObservationOptions options);
    void invalidate() override;

private:
    void observeValue(const QString &keyPath, UserDefaults *object, const platform::KeyValueChange &change,
                      const void *context) override;

    std::weak_ptr<UserDefaults> m_object;
    QString m_key;
    Callback m_callback;
    bool m_registered = false;
};

// The observation of several keys, possibly of several suites, through one callback that is not told
// which key changed.
class CompositeUserDefaultsKeyObservation final : public DefaultsObservation,
                                                  private platform::KeyValueObserver {
public:
    struct SuiteKeyPair {
        std::weak_ptr<UserDefaults> suite;
        QString key;
    };
    using Callback = std::function<void(const BaseChange &)>;

    CompositeUserDefaultsKeyObservation(std::vector<SuiteKeyPair> observables, Callback callback);
    ~CompositeUserDefaultsKeyObservation() override;

    void start(ObservationOptions options);
    void invalidate() override;

private:
    void observeValue(const QString &keyPath, UserDefaults *object, const platform::KeyValueChange &change,
                      const void *context) override;

    std::vector<SuiteKeyPair> m_observables;
    Callback m_callback;
};

// Calls `handler` with each typed change of `key`.
template <typename Value>
std::shared_ptr<DefaultsObservation> observe(const Key<Value> &key, ObservationOptions options,
                                             std::function<void(const KeyChange<Value> &)> handler) {
    auto observation = std::make_shared<UserDefaultsKeyObservation>(
        key.suite(), key.name(),
        [handler = std::move(handler), defaultValue = key.defaultValue()](const BaseChange &change) {
            handler(typedChange(change, defaultValue));
        });
    observation->start(options);
    return observation;
}

// Calls `handler` after any change of any of `keys`.
std::shared_ptr<DefaultsObservation> observe(const std::vector<std::reference_wrapper<const AnyKey>> &keys,
                                             ObservationOptions options, std::function<void()> handler);

} // namespace kestrova::Defaults

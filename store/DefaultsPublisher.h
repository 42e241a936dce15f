#pragma once

#include "DefaultsObservation.h"

#include <memory>

namespace kestrova::Defaults {

// Ends a subscription when cancelled or freed, whichever comes first.
class Cancellable {
public:
    virtual ~Cancellable() = default;
    virtual void cancel() = 0;
};

// One subscriber's subscription to a key. Every notification is handed over at once; demand is not
// counted. Cancelling drops the observation (which unregisters it) and then the subscriber.
class DefaultsSubscription final : public Cancellable,
                                   public std::enable_shared_from_this<DefaultsSubscription> {
public:
    using Subscriber = std::function<void(const BaseChange &)>;

    DefaultsSubscription(Subscriber subscriber, ObservationOptions options)
        : m_subscriber(std::move(subscriber))
        , m_options(options) {}
    ~DefaultsSubscription() override { cancel(); }

    void start(const Suite &suite, const QString &key);
    void request(std::size_t) {}
    void cancel() override;

private:
    Subscriber m_subscriber;
    std::shared_ptr<UserDefaultsKeyObservation> m_observation;
    ObservationOptions m_options;
};

// A stream of the untyped changes of one key of one suite. Each subscriber gets an observation of its own.
class DefaultsPublisher {
public:
    DefaultsPublisher(Suite suite, QString key, ObservationOptions options)
        : m_suite(std::move(suite))
        , m_key(std::move(key))
        , m_options(options) {}

    // Hold the result for as long as changes should arrive; with `initial` the first record arrives
    // before this returns.
    std::shared_ptr<Cancellable> sink(DefaultsSubscription::Subscriber subscriber) const;

private:
    Suite m_suite;
    QString m_key;
    ObservationOptions m_options;
};

// The typed changes of one key (by default starting with the current value).
template <typename Value> class KeyPublisher {
public:
    KeyPublisher(const Key<Value> &key, ObservationOptions options)
        : m_publisher(key.suite(), key.name(), options)
        , m_defaultValue(key.defaultValue()) {}

    std::shared_ptr<Cancellable> sink(std::function<void(const KeyChange<Value> &)> subscriber) const {
        return m_publisher.sink(
            [subscriber = std::move(subscriber), defaultValue = m_defaultValue](const BaseChange &change) {
                subscriber(typedChange(change, defaultValue));
            });
    }

private:
    DefaultsPublisher m_publisher;
    Value m_defaultValue;
};

template <typename Value>
KeyPublisher<Value> publisher(const Key<Value> &key,
                              ObservationOptions options = {ObservationOption::initial}) {
    return KeyPublisher<Value>(key, options);
}

// One empty event per change of any of the keys; never completes, and with no keys never emits.
class MergedKeysPublisher {
public:
    MergedKeysPublisher(const std::vector<std::reference_wrapper<const AnyKey>> &keys,
                        ObservationOptions options);

    std::shared_ptr<Cancellable> sink(std::function<void()> subscriber) const;

private:
    std::vector<DefaultsPublisher> m_publishers;
};

MergedKeysPublisher publisher(const std::vector<std::reference_wrapper<const AnyKey>> &keys,
                              ObservationOptions options = {});

} // namespace kestrova::Defaults

#include "DefaultsPublisher.h"

namespace kestrova::Defaults {
namespace {

class CancellableGroup final : public Cancellable {
public:
    std::vector<std::shared_ptr<Cancellable>> members;
    ~CancellableGroup() override { cancel(); }
    void cancel() override {
        for (const auto &member : members)
            member->cancel();
        members.clear();
    }
};

} // namespace

void DefaultsSubscription::start(const Suite &suite, const QString &key) {
    std::weak_ptr<DefaultsSubscription> weakSelf = weak_from_this();
    m_observation =
        std::make_shared<UserDefaultsKeyObservation>(suite, key, [weakSelf](const BaseChange &change) {
            auto self = weakSelf.lock();
            if (self && self->m_subscriber)
                self->m_subscriber(change);
        });
    m_observation->start(m_options);
}

void DefaultsSubscription::cancel() {
    m_observation.reset();
    m_subscriber = nullptr;
}

std::shared_ptr<Cancellable> DefaultsPublisher::sink(DefaultsSubscription::Subscriber subscriber) const {
    auto subscription = std::make_shared<DefaultsSubscription>(std::move(subscriber), m_options);
    subscription->start(m_suite, m_key);
    return subscription;
}

MergedKeysPublisher::MergedKeysPublisher(const std::vector<std::reference_wrapper<const AnyKey>> &keys,
                                         ObservationOptions options) {
    for (const AnyKey &key : keys)
        m_publishers.emplace_back(key.suite(), key.name(), options);
}

std::shared_ptr<Cancellable> MergedKeysPublisher::sink(std::function<void()> subscriber) const {
    auto group = std::make_shared<CancellableGroup>();
    for (const auto &publisher : m_publishers)
        group->members.push_back(publisher.sink([subscriber](const BaseChange &) { subscriber(); }));
    return group;
}

MergedKeysPublisher publisher(const std::vector<std::reference_wrapper<const AnyKey>> &keys,
                              ObservationOptions options) {
    return MergedKeysPublisher(keys, options);
}

} // namespace kestrova::Defaults

#include "DefaultsObservation.h"

namespace kestrova::Defaults {
namespace {

thread_local bool t_notificationsSuppressed = false;

// Recognises the notifications meant for composite observations.
const char kCompositeContext = 0;

BaseChange baseChange(const platform::KeyValueChange &change) {
    BaseChange result;
    result.kind = static_cast<unsigned>(change.kind);
    result.isPrior = change.isPrior;
    result.oldValue = change.oldValue;
    result.newValue = change.newValue;
    return result;
}

} // namespace

unsigned ObservationOptions::suiteOptions() const {
    unsigned options = UserDefaults::observeNew | UserDefaults::observeOld;
    if (contains(ObservationOption::initial))
        options |= UserDefaults::observeInitial;
    else if (contains(ObservationOption::prior))
        options |= UserDefaults::observePrior;
    return options;
}

void runWithoutNotifying(const std::function<void()> &body) {
    struct Guard {
        Guard() { t_notificationsSuppressed = true; }
        ~Guard() { t_notificationsSuppressed = false; }
    } guard;
    body();
}

bool isNotificationSuppressedOnThisThread() {
    return t_notificationsSuppressed;
}

std::shared_ptr<DefaultsObservation> DefaultsObservation::bindLifetime(QObject *owner) {
    std::weak_ptr<DefaultsObservation> weakSelf = weak_from_this();
    // The earlier binding ends quietly; ending it the ordinary way would invalidate this observation.
    if (m_lifetimeAssociation)
        m_lifetimeAssociation->cancel();
    m_lifetimeAssociation = std::make_unique<LifetimeAssociation>(shared_from_this(), owner, [weakSelf] {
        if (auto observation = weakSelf.lock())
            observation->invalidate();
    });
    return shared_from_this();
}

void DefaultsObservation::releaseLifetimeBinding() {
    cancelLifetimeAssociation();
}

void DefaultsObservation::cancelLifetimeAssociation() {
    if (m_lifetimeAssociation)
        m_lifetimeAssociation->cancel();
}

UserDefaultsKeyObservation::UserDefaultsKeyObservation(const Suite &suite, QString key, Callback callback)
    : m_object(suite)
    , m_key(std::move(key))
    , m_callback(std::move(callback)) {}

UserDefaultsKeyObservation::~UserDefaultsKeyObservation() {
    invalidate();
}

void UserDefaultsKeyObservation::start(ObservationOptions options) {
    auto suite = m_object.lock();
    if (!suite || m_registered)
        return;
    m_registered = true;
    suite->addObserver(this, m_key, options.suiteOptions(), nullptr);
}

void UserDefaultsKeyObservation::invalidate() {
    if (auto suite = m_object.lock(); suite && m_registered)
        suite->removeObserver(this, m_key, nullptr);
    m_registered = false;
    m_object.reset();
    cancelLifetimeAssociation();
}

void UserDefaultsKeyObservation::observeValue(const QString &, UserDefaults *object,
                                              const platform::KeyValueChange &change, const void *) {
    const auto suite = m_object.lock();
    if (!suite) {
        invalidate();
        return;
    }
    if (object != suite.get() || isNotificationSuppressedOnThisThread())
        return;
    m_callback(baseChange(change));
}

CompositeUserDefaultsKeyObservation::CompositeUserDefaultsKeyObservation(
    std::vector<SuiteKeyPair> observables, Callback callback)
    : m_observables(std::move(observables))
    , m_callback(std::move(callback)) {}

CompositeUserDefaultsKeyObservation::~CompositeUserDefaultsKeyObservation() {
    invalidate();
}

void CompositeUserDefaultsKeyObservation::start(ObservationOptions options) {
    for (const auto &pair : m_observables)
        if (auto suite = pair.suite.lock())
            suite->addObserver(this, pair.key, options.suiteOptions(), &kCompositeContext);
}

void CompositeUserDefaultsKeyObservation::invalidate() {
    for (auto &pair : m_observables) {
        if (auto suite = pair.suite.lock())
            suite->removeObserver(this, pair.key, &kCompositeContext);
        pair.suite.reset();
    }
    cancelLifetimeAssociation();
}

void CompositeUserDefaultsKeyObservation::observeValue(const QString &, UserDefaults *object,
                                                       const platform::KeyValueChange &change,
                                                       const void *context) {
    if (context != &kCompositeContext || !object || isNotificationSuppressedOnThisThread())
        return;
    m_callback(baseChange(change));
}

std::shared_ptr<DefaultsObservation> observe(const std::vector<std::reference_wrapper<const AnyKey>> &keys,
                                             ObservationOptions options, std::function<void()> handler) {
    std::vector<CompositeUserDefaultsKeyObservation::SuiteKeyPair> pairs;
    for (const AnyKey &key : keys)
        pairs.push_back({key.suite(), key.name()});
    auto observation = std::make_shared<CompositeUserDefaultsKeyObservation>(
        std::move(pairs), [handler = std::move(handler)](const BaseChange &) { handler(); });
    observation->start(options);
    return observation;
}

} // namespace kestrova::Defaults

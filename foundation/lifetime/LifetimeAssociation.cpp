#include "LifetimeAssociation.h"

#include "foundation/errors/FatalReason.h"

#include "ObjectAssociation.h"

#include <QtGlobal>

#include <algorithm>
#include <vector>

namespace kestrova {

// Keeps a target alive; when it is freed it first runs its handler, then releases the target. Only the
// owner's tracker list holds it.
class ObjectLifetimeTracker {
public:
    ObjectLifetimeTracker(std::shared_ptr<void> object, std::function<void()> deinitHandler)
        : object(std::move(object))
        , deinitHandler(std::move(deinitHandler)) {}
    ~ObjectLifetimeTracker() {
        if (const auto handler = std::move(deinitHandler))
            handler();
        object.reset();
    }

    std::shared_ptr<void> object;
    std::function<void()> deinitHandler;
};

namespace {

using TrackerList = std::vector<std::shared_ptr<ObjectLifetimeTracker>>;

const ObjectAssociation<TrackerList> &trackersAssociation() {
    static const auto *association =
        new ObjectAssociation<TrackerList>(TrackerList(), AssociationPolicy::retainNonatomic);
    return *association;
}

} // namespace

LifetimeAssociation::LifetimeAssociation(std::shared_ptr<void> target,
                                         std::shared_ptr<AssociationTable> owner,
                                         std::function<void()> deinitHandler) {
    if (!owner)
        fatalError(FatalReason(QStringLiteral("LifetimeAssociation: an association needs an owner")));
    auto tracker = std::make_shared<ObjectLifetimeTracker>(std::move(target), std::move(deinitHandler));
    TrackerList trackers = trackersAssociation().get(owner.get());
    trackers.push_back(tracker);
    trackersAssociation().set(*owner, std::move(trackers));
    m_wrappedObject = tracker;
    m_owner = owner;
}

LifetimeAssociation::LifetimeAssociation(std::shared_ptr<void> target, AssociatedObjects &owner,
                                         std::function<void()> deinitHandler)
    : LifetimeAssociation(std::move(target), owner.associationTable(), std::move(deinitHandler)) {}

LifetimeAssociation::LifetimeAssociation(std::shared_ptr<void> target, QObject *owner,
                                         std::function<void()> deinitHandler)
    : LifetimeAssociation(std::move(target), owner ? attachedAssociationTable(owner) : nullptr,
                          std::move(deinitHandler)) {}

LifetimeAssociation::~LifetimeAssociation() {
    detach();
}

void LifetimeAssociation::cancel() {
    if (const auto tracker = m_wrappedObject.lock())
        tracker->deinitHandler = [] {};
    detach();
}

void LifetimeAssociation::detach() {
    const std::shared_ptr<AssociationTable> owner = m_owner.lock();
    std::shared_ptr<ObjectLifetimeTracker> tracker = m_wrappedObject.lock();
    if (!owner || !tracker)
        return;
    TrackerList trackers = trackersAssociation().get(owner.get());
    const auto found = std::find(trackers.begin(), trackers.end(), tracker);
    if (found == trackers.end())
        return;
    trackers.erase(found);
    // The list goes back before the tracker is freed: its handler may attach or detach on the same owner.
    trackersAssociation().set(*owner, std::move(trackers));
    m_owner.reset();
    tracker.reset();
}

} // namespace kestrova

#pragma once

#include <functional>
#include <memory>

class QObject;

namespace kestrova {

class AssociatedObjects;
class AssociationTable;
class ObjectLifetimeTracker;

// Ties the life of a target to the life of an owner: the owner keeps the target alive, and when the owner
// goes away the handler runs (once) and the target is released. Freeing the association while the owner lives
// ends the tie at once, running the handler; `cancel` ends it without running the handler.
//
// The owner holds its trackers as an associated value (ObjectAssociation), so the association itself keeps
// only weak references. Construction, `cancel` and destruction for one owner must stay on one thread (the
// owner's).
class LifetimeAssociation {
public:
    LifetimeAssociation(std::shared_ptr<void> target, AssociatedObjects &owner,
                        std::function<void()> deinitHandler = {});
    LifetimeAssociation(std::shared_ptr<void> target, QObject *owner,
                        std::function<void()> deinitHandler = {});
    LifetimeAssociation(const LifetimeAssociation &) = delete;
    LifetimeAssociation &operator=(const LifetimeAssociation &) = delete;
    ~LifetimeAssociation();

    // Ends the association without running the handler; the target is released now. Does nothing when the
    // association already ended or the owner is gone.
    void cancel();

private:
    LifetimeAssociation(std::shared_ptr<void> target, std::shared_ptr<AssociationTable> owner,
                        std::function<void()> deinitHandler);
    void detach();

    std::weak_ptr<ObjectLifetimeTracker> m_wrappedObject;
    std::weak_ptr<AssociationTable> m_owner;
};

} // namespace kestrova

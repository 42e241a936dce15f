#include "foundation/lifetime/LifetimeAssociation.h"

#include "foundation/lifetime/DeinitObserver.h"
#include "foundation/lifetime/ObjectAssociation.h"

#include <QObject>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

class Owner : public AssociatedObjects {};

struct Events {
    int handlerCalls = 0;
    int targetReleases = 0;
    std::vector<std::string> order;
};

std::shared_ptr<void> makeTarget(Events &events) {
    return std::make_shared<DeinitObserver>([&events] {
        ++events.targetReleases;
        events.order.push_back("target");
    });
}

std::function<void()> makeHandler(Events &events) {
    return [&events] {
        ++events.handlerCalls;
        events.order.push_back("handler");
    };
}

TEST(LifetimeAssociationTest, OwnerDeathRunsTheHandlerOnceThenReleasesTheTarget) {
    Events events;
    auto owner = std::make_unique<Owner>();
    LifetimeAssociation association(makeTarget(events), *owner, makeHandler(events));
    EXPECT_EQ(events.targetReleases, 0);
    owner.reset();
    EXPECT_EQ(events.handlerCalls, 1);
    EXPECT_EQ(events.targetReleases, 1);
    EXPECT_EQ(events.order, (std::vector<std::string>{"handler", "target"}));
    // Cancelling or freeing the association afterwards does nothing more.
    association.cancel();
    association.cancel();
    EXPECT_EQ(events.handlerCalls, 1);
    EXPECT_EQ(events.targetReleases, 1);
}

TEST(LifetimeAssociationTest, CancelEndsWithoutTheHandlerAndLeavesOthers) {
    Events cancelled;
    Events kept;
    auto owner = std::make_unique<Owner>();
    LifetimeAssociation first(makeTarget(cancelled), *owner, makeHandler(cancelled));
    LifetimeAssociation second(makeTarget(kept), *owner, makeHandler(kept));
    first.cancel();
    EXPECT_EQ(cancelled.handlerCalls, 0);
    EXPECT_EQ(cancelled.targetReleases, 1);
    first.cancel();
    owner.reset();
    EXPECT_EQ(cancelled.handlerCalls, 0);
    EXPECT_EQ(kept.handlerCalls, 1);
    EXPECT_EQ(kept.targetReleases, 1);
}

TEST(LifetimeAssociationTest, FreeingTheAssociationRunsTheHandlerAtOnce) {
    Events events;
    Events other;
    Owner owner;
    auto association = std::make_unique<LifetimeAssociation>(makeTarget(events), owner, makeHandler(events));
    LifetimeAssociation kept(makeTarget(other), owner);
    association.reset();
    EXPECT_EQ(events.handlerCalls, 1);
    EXPECT_EQ(events.targetReleases, 1);
    EXPECT_EQ(other.targetReleases, 0);

    // After cancel, freeing it does nothing.
    Events cancelled;
    association = std::make_unique<LifetimeAssociation>(makeTarget(cancelled), owner, makeHandler(cancelled));
    association->cancel();
    association.reset();
    EXPECT_EQ(cancelled.handlerCalls, 0);
    EXPECT_EQ(cancelled.targetReleases, 1);
}

TEST(LifetimeAssociationTest, QObjectOwnersAndReentrantHandlers) {
    Events events;
    auto *object = new QObject;
    LifetimeAssociation association(makeTarget(events), object, makeHandler(events));
    delete object;
    EXPECT_EQ(events.handlerCalls, 1);
    EXPECT_EQ(events.targetReleases, 1);

    // A handler that ties a new target to the same live owner while its own tracker is being dropped.
    Owner owner;
    Events inner;
    std::unique_ptr<LifetimeAssociation> innerAssociation;
    auto outer = std::make_unique<LifetimeAssociation>(nullptr, owner, [&] {
        innerAssociation =
            std::make_unique<LifetimeAssociation>(makeTarget(inner), owner, makeHandler(inner));
    });
    outer.reset();
    ASSERT_TRUE(innerAssociation);
    EXPECT_EQ(inner.targetReleases, 0);
    innerAssociation.reset();
    EXPECT_EQ(inner.handlerCalls, 1);
    EXPECT_EQ(inner.targetReleases, 1);
}

} // namespace
} // namespace kestrova

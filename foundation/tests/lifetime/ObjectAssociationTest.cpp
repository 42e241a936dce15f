#include "foundation/lifetime/ObjectAssociation.h"

#include <QObject>
#include <QPointer>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

class Owner : public AssociatedObjects {};

struct Counted {
    explicit Counted(int *destroyed)
        : destroyed(destroyed) {}
    Counted(const Counted &other) = default;
    ~Counted() { ++*destroyed; }
    int *destroyed;
};

TEST(ObjectAssociationTest, SlotsArePerObjectAndPerAssociation) {
    const ObjectAssociation<QString> name(QStringLiteral("default"));
    const ObjectAssociation<QString> other(QStringLiteral("other default"));
    Owner first;
    Owner second;
    name.set(first, QStringLiteral("first"));
    EXPECT_EQ(name.get(first), QStringLiteral("first"));
    EXPECT_EQ(name.get(second), QStringLiteral("default"));
    EXPECT_EQ(other.get(first), QStringLiteral("other default"));

    name.set(first, std::optional<QString>());
    EXPECT_EQ(name.get(first), QStringLiteral("default"));

    // A copy of an object starts without associations.
    name.set(first, QStringLiteral("again"));
    const Owner copy = first;
    EXPECT_EQ(name.get(copy), QStringLiteral("default"));

    QObject object;
    QObject sibling;
    EXPECT_EQ(name.get(&object), QStringLiteral("default"));
    EXPECT_TRUE(object.children().isEmpty()) << "reading must not attach anything";
    name.set(&object, QStringLiteral("qt"));
    name.set(&object, QStringLiteral("qt 2"));
    EXPECT_EQ(name.get(&object), QStringLiteral("qt 2"));
    EXPECT_EQ(name.get(&sibling), QStringLiteral("default"));
    EXPECT_EQ(object.children().size(), 1);
    name.remove(&object);
    EXPECT_EQ(name.get(&object), QStringLiteral("default"));

    // No object: nothing is attached or stored, and reading gives the default.
    QObject *none = nullptr;
    EXPECT_EQ(attachedAssociationTable(none), nullptr);
    name.set(none, QStringLiteral("lost"));
    name.set(none, std::optional<QString>());
    EXPECT_EQ(name.get(none), QStringLiteral("default"));
}

TEST(ObjectAssociationTest, ValuesGoWithTheirObject) {
    const ObjectAssociation<std::shared_ptr<Counted>> retained;
    int destroyed = 0;
    {
        Owner owner;
        retained.set(owner, std::make_shared<Counted>(&destroyed));
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);

    auto *object = new QObject;
    retained.set(object, std::make_shared<Counted>(&destroyed));
    delete object;
    EXPECT_EQ(destroyed, 2);
}

TEST(ObjectAssociationTest, PoliciesDecideOwnership) {
    int destroyed = 0;
    Owner owner;

    const ObjectAssociation<std::shared_ptr<Counted>> assigned(nullptr, AssociationPolicy::assign);
    auto object = std::make_shared<Counted>(&destroyed);
    assigned.set(owner, object);
    EXPECT_EQ(assigned.get(owner), object);
    object.reset();
    EXPECT_EQ(destroyed, 1) << "assign must not keep the object alive";
    EXPECT_EQ(assigned.get(owner), nullptr);

    const ObjectAssociation<std::shared_ptr<Counted>> copied(nullptr, AssociationPolicy::copy);
    object = std::make_shared<Counted>(&destroyed);
    copied.set(owner, object);
    EXPECT_NE(copied.get(owner), object);
    EXPECT_EQ(copied.get(owner)->destroyed, &destroyed);

    const ObjectAssociation<std::shared_ptr<Counted>> retained(nullptr, AssociationPolicy::retain);
    retained.set(owner, object);
    EXPECT_EQ(retained.get(owner), object);
    EXPECT_EQ(static_cast<int>(AssociationPolicy::copy), 771);
    EXPECT_EQ(static_cast<int>(AssociationPolicy::retain), 769);
}

// A value whose release touches the same object's slots again must not deadlock or lose the new value.
struct Reentrant {
    Owner *owner;
    const ObjectAssociation<int> *counter;
    ~Reentrant() {
        if (owner)
            counter->set(*owner, counter->get(*owner) + 1);
    }
};

TEST(ObjectAssociationTest, ReleasingAValueMayTouchTheSameObject) {
    Owner owner;
    const ObjectAssociation<int> counter(0);
    const ObjectAssociation<std::shared_ptr<Reentrant>> slot;
    slot.set(owner, std::make_shared<Reentrant>(&owner, &counter));
    slot.set(owner, nullptr);
    EXPECT_EQ(counter.get(owner), 1);
}

} // namespace
} // namespace kestrova

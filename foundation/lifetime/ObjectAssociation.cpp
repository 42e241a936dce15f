#include "ObjectAssociation.h"

#include <QObject>

namespace kestrova {

AssociationTable::~AssociationTable() {
    removeAll();
}

std::any AssociationTable::value(const void *key) const {
    const std::lock_guard lock(m_mutex);
    const auto found = m_slots.find(key);
    return found == m_slots.end() ? std::any() : found->second;
}

void AssociationTable::setValue(const void *key, std::any value) {
    {
        const std::lock_guard lock(m_mutex);
        std::swap(m_slots[key], value);
    }
    // `value` now holds the replaced value, released here, outside the lock.
}

void AssociationTable::removeValue(const void *key) {
    std::any removed;
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_slots.find(key);
        if (found == m_slots.end())
            return;
        removed = std::move(found->second);
        m_slots.erase(found);
    }
}

void AssociationTable::removeAll() {
    for (;;) {
        std::unordered_map<const void *, std::any> released;
        {
            const std::lock_guard lock(m_mutex);
            if (m_slots.empty())
                return;
            released.swap(m_slots);
        }
    }
}

AssociatedObjects::AssociatedObjects()
    : m_associationTable(std::make_shared<AssociationTable>()) {}

AssociatedObjects::AssociatedObjects(const AssociatedObjects &)
    : AssociatedObjects() {}

AssociatedObjects::~AssociatedObjects() {
    m_associationTable->removeAll();
}

namespace {

// Holds a QObject's association table as the object's child, so that it goes with the object.
class AssociationTableHolder final : public QObject {
public:
    explicit AssociationTableHolder(QObject *parent)
        : QObject(parent)
        , m_table(std::make_shared<AssociationTable>()) {}
    ~AssociationTableHolder() override { m_table->removeAll(); }

    const std::shared_ptr<AssociationTable> &table() const { return m_table; }

private:
    std::shared_ptr<AssociationTable> m_table;
};

AssociationTableHolder *findHolder(const QObject *object) {
    for (QObject *child : object->children()) {
        if (auto *holder = dynamic_cast<AssociationTableHolder *>(child))
            return holder;
    }
    return nullptr;
}

} // namespace

std::shared_ptr<AssociationTable> attachedAssociationTable(QObject *object) {
    if (!object)
        return nullptr;
    if (AssociationTableHolder *holder = findHolder(object))
        return holder->table();
    return (new AssociationTableHolder(object))->table();
}

std::shared_ptr<AssociationTable> existingAssociationTable(const QObject *object) {
    if (!object)
        return nullptr;
    AssociationTableHolder *holder = findHolder(object);
    return holder ? holder->table() : nullptr;
}

} // namespace kestrova

#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <functional>
#include <utility>

namespace kestrova {

// Follows an object that may be absent and may be replaced: each time the current object says it is about
// to change, the owner's `onChange` runs (on the main thread, on a later turn of the event loop). Replacing
// the object follows the new one; setting the same object again keeps the subscription; setting none stops
// following (the old object's changes are not forwarded any more). The main status item follows its
// current folder controller through one of these.
template <typename Observable> class OptionalObservedObject {
public:
    OptionalObservedObject(Observable *object, std::function<void()> onChange)
        : m_onChange(std::move(onChange)) {
        setWrappedValue(object);
    }
    ~OptionalObservedObject() { QObject::disconnect(m_connection); }
    OptionalObservedObject(const OptionalObservedObject &) = delete;
    OptionalObservedObject &operator=(const OptionalObservedObject &) = delete;

    Observable *wrappedValue() const { return m_base.data(); }
    void setWrappedValue(Observable *object) {
        if (object && object == m_base.data() && m_connection)
            return;
        QObject::disconnect(m_connection);
        m_connection = {};
        m_base = object;
        if (!object)
            return;
        m_connection = QObject::connect(
            object, &Observable::objectWillChange, object,
            [onChange = m_onChange] {
                if (onChange)
                    onChange();
            },
            Qt::QueuedConnection);
    }
    bool isSubscribed() const { return bool(m_connection); }

private:
    std::function<void()> m_onChange;
    QPointer<Observable> m_base;
    QMetaObject::Connection m_connection;
};

} // namespace kestrova

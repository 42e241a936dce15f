#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QAbstractAnimation;
class QTimer;

// Small objects that turn a stream of events into the "about to change" signal a view redraws on, and
// adapters that turn an object's callbacks into closures. All of them live on the main thread.
namespace kestrova {

// An object whose views redraw when it says it is about to change.
class ObservableObject : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void objectWillChange();
};

// Cancels a subscription to an event source when destroyed.
using EventSourceCancel = std::function<void()>;
// Subscribes `onEvent` to an event source (a notification, a file watcher, a Qt signal) and answers how to
// cancel the subscription.
using EventSource = std::function<EventSourceCancel(std::function<void()> onEvent)>;

// Says objectWillChange once for every event of its source, delivered on a later turn of the main event
// loop; the end of the source is not an event. Destroying the object cancels the subscription, and an event
// already on its way then reaches nothing. The user-defaults screen redraws through one of these over the
// defaults' change notification.
class ListenOnlyPublisherObservable final : public ObservableObject {
    Q_OBJECT
public:
    explicit ListenOnlyPublisherObservable(const EventSource &source, QObject *parent = nullptr);
    ~ListenOnlyPublisherObservable() override;

private:
    EventSourceCancel m_publisher;
};

// A value that flips every `interval` seconds on the main event loop, so that a view owning one redraws once
// per interval. Destroying it stops the timer.
class ViewTimer final : public ObservableObject {
    Q_OBJECT
public:
    // `tolerance`: how late a tick may come; none asks for precise ticks.
    explicit ViewTimer(double interval, std::optional<double> tolerance = std::nullopt,
                       QObject *parent = nullptr);
    ~ViewTimer() override;

    bool value() const { return m_value; }

private:
    bool m_value = true;
    QTimer *m_timer = nullptr;
};

// A value that says objectWillChange before each assignment; nothing of the application makes one.
template <typename Value> class ObservableValue final : public ObservableObject {
public:
    explicit ObservableValue(Value value, QObject *parent = nullptr)
        : ObservableObject(parent)
        , m_value(std::move(value)) {}

    const Value &wrappedValue() const { return m_value; }
    void setWrappedValue(Value value) {
        Q_EMIT objectWillChange();
        m_value = std::move(value);
    }

private:
    Value m_value;
};

// A value read from another object each time that object says it changed (the property change signals of
// Qt are what key-value observation was elsewhere); says objectWillChange before taking the new value.
template <typename Value> class KVOObservable final : public ObservableObject {
public:
    // `subscribe` connects the source's change to the given closure and answers how to cancel it.
    KVOObservable(std::function<Value()> read, const EventSource &subscribe, QObject *parent = nullptr)
        : ObservableObject(parent)
        , m_read(std::move(read))
        , m_value(m_read()) {
        m_cancellable = subscribe([self = QPointer<KVOObservable>(this)] {
            if (!self)
                return;
            Q_EMIT self->objectWillChange();
            self->m_value = self->m_read();
        });
    }
    ~KVOObservable() override {
        if (m_cancellable)
            m_cancellable();
    }

    const Value &value() const { return m_value; }

private:
    std::function<Value()> m_read;
    Value m_value;
    EventSourceCancel m_cancellable;
};

// Runs closures when an animation starts and when it stops; `finished` is false when it was stopped before
// its end (or destroyed while running). An unset handler makes that moment do nothing.
class KvCAAnimationDelegate final : public QObject {
    Q_OBJECT
public:
    explicit KvCAAnimationDelegate(QObject *parent = nullptr)
        : QObject(parent) {}

    std::function<void()> didStartHandler;
    std::function<void(bool finished)> didStopHandler;

    // Follows `animation` until it is destroyed; one delegate may follow several.
    void observe(QAbstractAnimation *animation);
};

// Where the machine takes its power from, kept current for whoever subscribes.
class PowerSourceWatcher final : public QObject {
    Q_OBJECT
public:
    enum class PowerSource { internalBattery, externalUnlimited, externalUPS };

    // `powerSupplyDirectory`: where the kernel lists the machine's power supplies.
    explicit PowerSourceWatcher(QString powerSupplyDirectory = QStringLiteral("/sys/class/power_supply"),
                                QObject *parent = nullptr);

    // Read from the power supplies when first asked and after each refresh(); a machine that lists none
    // (a desktop, a virtual machine) runs on external power.
    PowerSource powerSource();
    // Reads the power supplies again and says powerSourceChanged when the source is another one.
    void refresh();

Q_SIGNALS:
    void powerSourceChanged(kestrova::PowerSourceWatcher::PowerSource source);

private:
    PowerSource read() const;

    QString m_directory;
    std::optional<PowerSource> m_current;
};

} // namespace kestrova

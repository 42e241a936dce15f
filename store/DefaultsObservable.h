#pragma once

#include "DefaultsUpdates.h"

#include "platform/observation/Binding.h"
#include "platform/observation/ViewStorage.h"

#include <QObject>
#include <QSignalBlocker>

#include <functional>
#include <memory>

namespace kestrova::Defaults {

// The signal side of Observable, which as a template cannot declare signals itself.
class ObservableBase : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    // Sent on the main thread before a write through the observable, and after every change of the key
    // (whoever made it), starting with one for the current value soon after construction.
    void objectWillChange();
};

// Announces every change of one key to the views that show it. Lives on the main thread; holds no copy of
// the value. Freeing it ends its update stream, which unregisters the observation.
template <typename Value> class Observable : public ObservableBase {
public:
    explicit Observable(Key<Value> key, QObject *parent = nullptr)
        : ObservableBase(parent)
        , m_key(std::move(key))
        , m_task(updates(m_key, /*initial=*/true)) {
        m_task->forEach(this, [this](const Value &) { Q_EMIT objectWillChange(); });
    }
    ~Observable() override { m_task->finish(); }

    const Key<Value> &key() const { return m_key; }
    Value value() const { return get(m_key); }
    // Announces first, then stores.
    void setValue(const Value &newValue) {
        Q_EMIT objectWillChange();
        set(m_key, newValue);
    }

private:
    Key<Value> m_key;
    std::shared_ptr<UpdateStream<Value>> m_task;
};

// What a view holds to read, write and follow one stored setting. Each wrapper has its own observable.
template <typename Value> class Default {
public:
    explicit Default(Key<Value> key)
        : m_observable(std::make_unique<Observable<Value>>(std::move(key))) {}

    const Key<Value> &key() const { return m_observable->key(); }
    Value value() const { return m_observable->value(); }
    void setValue(const Value &newValue) const { m_observable->setValue(newValue); }

    // Edits the value in place and stores the result; an edit that throws stores nothing.
    template <typename Change> void mutate(Change &&change) const {
        Value edited = value();
        std::invoke(std::forward<Change>(change), edited);
        setValue(edited);
    }

    platform::Binding<Value> binding() const {
        auto *observable = m_observable.get();
        return {[observable] { return observable->value(); },
                [observable](const Value &newValue) { observable->setValue(newValue); }};
    }

    void reset() const { key().reset(); }

    bool isDefaultValue() const requires std::equality_comparable<Value> {
        return value() == key().defaultValue();
    }

    // Connect to objectWillChange to render again.
    ObservableBase *observable() const { return m_observable.get(); }

private:
    std::unique_ptr<Observable<Value>> m_observable;
};

// A toggle bound to a Boolean setting, with an optional action run when the value it shows changes. This
// is the model; a check box or switch connects to it with connectToggle().
class Toggle {
public:
    Toggle(const QString &title, const Key<bool> &key);
    Toggle(const Key<bool> &key, std::function<QString()> label);

    // Replaces the action; setting it does not render the toggle again.
    Toggle &onChange(std::function<void(bool)> action);

    QString label() const { return m_label(); }
    bool isOn() const { return m_observable->value(); }
    // The control's write: announce, then store. The action does not run here but at the next render.
    void setOn(bool on) { m_observable->setValue(on); }

    // One evaluation of the toggle's body: the value to show; when it differs from the value seen at the
    // previous render, the action is called with it.
    bool render();

    ObservableBase *observable() const { return m_observable.get(); }

private:
    std::function<QString()> m_label;
    platform::ViewStorage<std::function<void(bool)>> m_onChange;
    std::unique_ptr<Observable<bool>> m_observable;
    std::optional<bool> m_lastRendered;
};

// Binds a checkable control (any QObject with a `toggled(bool)` signal and `setChecked(bool)`) to a
// toggle: user flips store the value, and every announcement renders the control again on a later turn.
// The toggle must outlive the control.
template <typename Control> void connectToggle(Control *control, Toggle &toggle) {
    control->setChecked(toggle.render());
    QObject::connect(control, &Control::toggled, control, [&toggle](bool on) {
        if (on != toggle.isOn())
            toggle.setOn(on);
    });
    QObject::connect(
        toggle.observable(), &ObservableBase::objectWillChange, control,
        [control, &toggle] {
            const bool on = toggle.render();
            const QSignalBlocker blocker(control);
            control->setChecked(on);
        },
        Qt::QueuedConnection);
}

} // namespace kestrova::Defaults

#include "DefaultsObservable.h"

namespace kestrova::Defaults {

Toggle::Toggle(const QString &title, const Key<bool> &key)
    : Toggle(key, [title] { return title; }) {}

Toggle::Toggle(const Key<bool> &key, std::function<QString()> label)
    : m_label(std::move(label))
    , m_observable(std::make_unique<Observable<bool>>(key)) {}

Toggle &Toggle::onChange(std::function<void(bool)> action) {
    m_onChange.setValue(std::move(action));
    return *this;
}

bool Toggle::render() {
    const bool on = isOn();
    const bool changed = m_lastRendered && *m_lastRendered != on;
    m_lastRendered = on;
    if (changed && m_onChange.value())
        m_onChange.value()(on);
    return on;
}

} // namespace kestrova::Defaults

#include "BootwickToggle.h"

#include "integration/Bootwick.h"

#include <QSignalBlocker>

namespace kestrova::Bootwick {

Toggle::Toggle(QWidget *parent)
    : Toggle(QStringLiteral("Launch at login"), parent) {}

Toggle::Toggle(const QString &label, QWidget *parent)
    : QCheckBox(label, parent) {
    refresh();
    // After the write: the entry then holds the new state (or the old one, when writing failed).
    connect(&Observable::shared(), &Observable::isEnabledChanged, this, &Toggle::refresh);
}

void Toggle::nextCheckState() {
    Bootwick::setEnabled(!isChecked());
}

void Toggle::refresh() {
    const QSignalBlocker blocker(this);
    setChecked(Bootwick::isEnabled());
}

} // namespace kestrova::Bootwick

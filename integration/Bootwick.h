#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace kestrova::Bootwick {

// "Launch at login": the application's entry in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart/<application id>.desktop), which the desktop runs at every login. The file is
// the only record: a user or another tool may edit or remove it at any time, so every read looks at it
// afresh. Main thread only.

// The autostart entry's path.
QString autostartFilePath();

// True when the entry is there, is not hidden (Hidden=true) or switched off (X-GNOME-Autostart-enabled=false)
// and its Exec starts this very program. An entry that starts another program, has no Exec or cannot be read
// reads as off.
bool isEnabled();
// On: writes the entry afresh (also when it is on already), replacing whatever file or link is there. Off:
// removes it, or, when the system's autostart folders hold an entry of the same name, writes one that hides
// it. Announces the change (willChange, then isEnabledChanged with `enabled`) whether or not the write
// worked; a failure is logged.
void setEnabled(bool enabled);

// The one-time carry-over from an older way of launching at login. There is none on this desktop: it only
// records, under "Bootwick__hasMigrated", that it ran. It never touches the autostart entry.
void migrateIfNeeded();

// The shared object that announces each write of isEnabled; switches redraw on willChange.
class Observable : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setEnabled NOTIFY isEnabledChanged)
public:
    static Observable &shared();

    bool isEnabled() const { return Bootwick::isEnabled(); }
    void setEnabled(bool enabled) { Bootwick::setEnabled(enabled); }

Q_SIGNALS:
    void willChange();
    void isEnabledChanged(bool enabled);

private:
    using QObject::QObject;
};

// Hold the result for as long as values should arrive. The subscriber gets the current value at once (the
// state read when the first subscriber came, or the last value written), then every value written.
std::shared_ptr<void> subscribe(std::function<void(bool)> subscriber);

} // namespace kestrova::Bootwick

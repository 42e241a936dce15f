#pragma once

#include "store/Shortkeel.h"

#include <QString>

#include <optional>
#include <set>
#include <vector>

// Storing and clearing the shortcut of a name, which moves its hot key along and announces the change.
// Reading is getShortcut (store/ShortkeelHandlers.h). Main thread only.
namespace kestrova::Shortkeel {

// Posted on the default notification centre after a name's shortcut was stored or cleared; the user info
// "name" holds the Shortkeel::Name.
inline const QString shortcutByNameDidChange = QStringLiteral("Shortkeel_shortcutByNameDidChange");
// Posted after the desktop assigned the keys of hot keys, or the user changed them in the desktop's own
// settings (where the desktop decides the keys): the descriptions of shortcuts may read otherwise now.
inline const QString assignedTriggersDidChange = QStringLiteral("Shortkeel_assignedTriggersDidChange");

// With a shortcut: takes the name's old hot key down, makes the new one live, stores the JSON text and
// announces it (even when the desktop refused the hot key). Without: when the name holds a shortcut,
// stores false, takes the hot key down and announces it; otherwise does nothing. A hot key that another
// name still stores stays live.
void setShortcut(const std::optional<Shortcut> &shortcut, const Name &name);
// Each name back to its default shortcut (cleared for a name without one).
void reset(const std::vector<Name> &names);
// The name, storing `defaultShortcut` when nothing at all is stored under it yet.
Name makeName(const QString &rawValue, const std::optional<Shortcut> &defaultShortcut);

// The names that store `shortcut`, in the order of their stored keys.
std::vector<Name> namesStoring(const Shortcut &shortcut);

// The shortcuts asked to be live, a refused one included, so that nothing registers one twice.
std::set<Shortcut> &registeredShortcuts();

} // namespace kestrova::Shortkeel

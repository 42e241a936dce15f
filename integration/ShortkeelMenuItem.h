#pragma once

#include "store/Shortkeel.h"

#include <memory>
#include <optional>

namespace kestrova::platform {
class MenuItem;
}

namespace kestrova::Shortkeel {

// Makes `item` show the shortcut of `name` as its key equivalent and follow every later change of it (a
// cleared shortcut empties it). No name empties the key equivalent and ends the following. Binding again
// replaces the earlier binding. Main thread only.
void setShortcut(const std::shared_ptr<platform::MenuItem> &item, const std::optional<Name> &name);

} // namespace kestrova::Shortkeel

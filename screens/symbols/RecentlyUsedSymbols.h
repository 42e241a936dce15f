#pragma once

#include "store/Defaults.h"

#include <QString>

#include <vector>

namespace kestrova {

// The symbols the user picked last, most recent first, at most kRecentlyUsedSymbolLimit names without
// repeats. Stored as picked: a name the catalogue no longer has stays until it falls off the end.
inline constexpr int kRecentlyUsedSymbolLimit = 8;
const Defaults::Key<std::vector<QString>> &recentlyUsedSymbolsKey();

// `recents` after picking `name`: the name in front, its older entries gone, cut to the limit.
std::vector<QString> recentsAfterPicking(const std::vector<QString> &recents, const QString &name);

} // namespace kestrova

#pragma once

#include "Defaults.h"
#include "Folder.h"
#include "MenuBarItemIcon.h"
#include "SandboxURLBookmark.h"

#include <QString>

#include <map>
#include <optional>
#include <vector>

// The application's own settings. Each key is made on first use, on the standard suite, and registers its
// default then. (AnyKey is the key base class; the application's keys live here, apart from it.)
namespace kestrova::Defaults::Keys {

// One JSON text per folder, in status-item order.
const Key<std::vector<Folder>> &folders();
// The root folder's bookmark; nothing registered, so it reads nothing until one is written.
const Key<std::optional<SandboxURLBookmark>> &rootSandboxURLBookmark();
// The sort order the user picked inside a folder menu, by the subfolder's absolute URL text.
const Key<std::map<QString, Folder::SortOrder>> &subfolderSortOrder();
const Key<bool> &showFoldersInMenu();
const Key<bool> &showIconsInMenu();
const Key<bool> &showFileAndDirectorySubmenu();
const Key<MenuBarItemIcon> &menuBarItemIcon();
const Key<bool> &hasMigratedSandbox();

} // namespace kestrova::Defaults::Keys

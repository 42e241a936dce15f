#pragma once

#include "FolderContentsLoader.h"

#include <QUrl>

#include <memory>

namespace kestrova {

class FolderController;
namespace platform {
class Menu;
} // namespace platform

// Lists one directory as menu rows: the folder's own top level into `menu` (the folder menu being built),
// or a subfolder into a new KvMenu when `menu` is null. Sorted by the directory's own stored order, else the
// folder's; folders and then aliases on top when the folder keeps folders on top; cut at the folder's item
// limit (top level only) with an "N Excluded Items" summary; "Empty" when nothing is left. Each row's
// submenu is built only when it opens, so nothing below this level is read now. Listing failures never
// escape: no permission shows the missing-access help, anything else is reported and explained.
// Returns the new menu of a subfolder; null when `menu` was given. The top level uses the listing the
// controller prepared before the menu opened, when there is one. A listing that has not ended yet is not
// waited for: the menu is marked Menu::isAwaitingContents() and its rows are appended once they come,
// unless it was emptied (or stopped awaiting) meanwhile.
//
// The other desktop's applications-folder rules (merging the system's utilities, titles without ".app")
// have no counterpart on Linux and are not applied.
// What listing `directory` for `folder`'s menu asks for: the directory's own stored order, else the folder's.
FolderListingRequest folderListingRequest(const QUrl &directory, const Folder &folder, bool isTopLevel);

std::shared_ptr<platform::Menu> folderContentsMenu(const QUrl &directory, platform::Menu *menu,
                                                   const std::shared_ptr<FolderController> &controller);

} // namespace kestrova

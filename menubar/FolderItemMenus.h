#pragma once

#include <QUrl>

#include <memory>

namespace kestrova {

class FolderController;
class KvMenu;
namespace platform {
class Menu;
}

// The two submenus a folder menu gives its entries, under the names readers look for.

// The submenu of a readable file: tips, "Open With", "Show in File Manager", "Move to Trash", "Copy",
// "Share", the preview and the information rows (fileSubmenu).
std::shared_ptr<platform::Menu> itemPreviewMenu(const QUrl &url,
                                                const std::shared_ptr<FolderController> &controller);

// The help for a folder Kestrova may not read, appended to `menu`, or to a new KvMenu when none is given, for
// the controller's folder (what blocks it and how to change that); the menu filled.
std::shared_ptr<platform::Menu> missingAccessMenu(std::shared_ptr<platform::Menu> menu,
                                                  const std::shared_ptr<FolderController> &controller);

} // namespace kestrova

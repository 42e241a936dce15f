#include "FolderItemMenus.h"

#include "FileActions.h"
#include "FolderController.h"
#include "FolderMenuItems_p.h"

#include "ui-kit/menus/KvMenu.h"

namespace kestrova {

std::shared_ptr<platform::Menu> itemPreviewMenu(const QUrl &url,
                                                const std::shared_ptr<FolderController> &controller) {
    return fileSubmenu(url, controller);
}

std::shared_ptr<platform::Menu> missingAccessMenu(std::shared_ptr<platform::Menu> menu,
                                                  const std::shared_ptr<FolderController> &controller) {
    if (!menu)
        menu = KvMenu::create();
    const Folder folder = controller->folder();
    const QUrl directory =
        folder.urlBookmark.url().value_or(folder.urlBookmark.originalURL().value_or(QUrl()));
    addMissingAccessItems(*menu, directory);
    return menu;
}

} // namespace kestrova

#pragma once

#include "MenuBarItem.h"

#include "platform/Binding.h"
#include "platform/Subscription.h"
#include "store/Folder.h"

#include <QUrl>

#include <memory>
#include <vector>

namespace kestrova {

class FolderController;
namespace Defaults {
class DefaultsObservation;
}

// The application's own status item, shown when folders are listed inside one menu or no folder is
// visible. Its menu is rebuilt at every opening: each visible folder as an item with the folder's menu as
// submenu followed by the application section under a More item, or the application section alone.
// Main thread only.
class MainMenuBarItem {
public:
    MainMenuBarItem(platform::Binding<std::vector<Folder>> folders, bool showFoldersInMenu);
    ~MainMenuBarItem();
    MainMenuBarItem(const MainMenuBarItem &) = delete;
    MainMenuBarItem &operator=(const MainMenuBarItem &) = delete;

    bool showFoldersInMenu() const { return m_showFoldersInMenu; }
    MenuBarItemCoordinator &coordinator() const { return *m_coordinator; }

    // Fills the emptied menu.
    void buildMenu(KvMenu &menu);

    // The section every menu of the application ends with: "Add Folder…", the windows still to come
    // (disabled, saying so) and Quit.
    static void appSection(platform::Binding<std::vector<Folder>> folders, KvMenu &menu);
    // Asks for a directory and adds it; errors are reported and shown. Returns at once.
    static void addFolder(platform::Binding<std::vector<Folder>> folders);
    // Appends a new folder for `url` to `folders`, read-only when the folder cannot be bookmarked for
    // writing. Throws when it cannot be bookmarked at all; nothing is stored then.
    static void addFolder(const QUrl &url, platform::Binding<std::vector<Folder>> folders);

private:
    MenuBarItem makeItem();

    platform::Binding<std::vector<Folder>> m_folders;
    bool m_showFoldersInMenu;
    bool m_isMenuOpen = false;
    // The folder submenus of the last build, and their controllers.
    std::vector<std::shared_ptr<KvMenu>> m_folderMenus;
    std::vector<std::shared_ptr<FolderController>> m_folderControllers;
    platform::Subscription m_accessSubscription;
    std::shared_ptr<Defaults::DefaultsObservation> m_iconObservation;
    std::unique_ptr<MenuBarItemCoordinator> m_coordinator;
};

} // namespace kestrova

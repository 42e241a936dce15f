#pragma once

#include "FolderConfigurationWindow.h"
#include "MenuBarItem.h"

#include "platform/observation/Binding.h"
#include "platform/observation/Subscription.h"
#include "store/Folder.h"

#include <QUrl>
#include <QUuid>

#include <memory>
#include <optional>
#include <vector>

namespace kestrova {

class FolderController;
namespace Defaults {
class DefaultsObservation;
}

// The application's own status item, shown when folders are listed inside one menu or no folder is
// visible. Its menu is rebuilt at every opening: on the first launch, until a folder is stored, a short
// hint first, then each visible
// folder as an item with the folder's menu as submenu followed by the application section under a More
// item, or the application section alone. With folders in the menu it also listens to the "toggleMenu"
// shortcut and shows the configuration window of the folder whose submenu was opened last.
// Main thread only.
class MainMenuBarItem {
public:
    MainMenuBarItem(platform::Binding<std::vector<Folder>> folders, bool showFoldersInMenu);
    ~MainMenuBarItem();
    MainMenuBarItem(const MainMenuBarItem &) = delete;
    MainMenuBarItem &operator=(const MainMenuBarItem &) = delete;

    bool showFoldersInMenu() const { return m_showFoldersInMenu; }
    MenuBarItemCoordinator &coordinator() const { return *m_coordinator; }

    // Fills the emptied menu; the hint rows lead it on the first launch of the application while no folder
    // is stored.
    void buildMenu(KvMenu &menu);
    void buildMenu(KvMenu &menu, bool isFirstLaunch);

    // The open-change handler of a folder submenu: an opening makes `controller` and `folder` the current
    // ones (whose configuration window this item shows); either way the controller learns the state.
    void folderMenuOpenChanged(bool isOpen, const std::shared_ptr<FolderController> &controller,
                               const Folder &folder);
    // The controller and folder id of the folder submenu opened last.
    const std::shared_ptr<FolderController> &currentFolderController() const {
        return m_currentFolderController;
    }
    const std::optional<QUuid> &currentFolderID() const { return m_currentFolderID; }
    // The element of `folders` with this id, or nothing.
    std::optional<platform::Binding<Folder>> folderBinding(const QUuid &id) const;

    // The page of the user guide at `anchor` ("#guide", "#faq", …).
    static QUrl helpPageURL(const QString &anchor);

    // The section every menu of the application ends with: "Add Folder…", "Folders" (with folders), "Send
    // Feedback…", "Settings…", "More", "Debug" in debug mode, and Quit. Windows that this build lacks are
    // listed disabled, saying so.
    static void appSection(platform::Binding<std::vector<Folder>> folders, KvMenu &menu);
    static void appSection(platform::Binding<std::vector<Folder>> folders, KvMenu &menu, bool isDebugMode);
    // "Show" with one checkable row per stored folder (choosing one flips it and relaunches), then "Show
    // All" and "Hide All".
    static void buildFoldersSubmenu(platform::Binding<std::vector<Folder>> folders, KvMenu &menu);
    // Shows or hides every stored folder at once, without a relaunch.
    static void setAllFoldersVisible(bool isVisible, platform::Binding<std::vector<Folder>> folders);
    // About, FAQ, Tips and the website.
    static std::shared_ptr<KvMenu> moreMenu();
    static void faqMenu(KvMenu &menu);
    // The alert of the FAQ "The file opens as read-only"; modal.
    static void showReadOnlyBugAlert();
    // The application's name and version in an alert; returns at once.
    static void showAboutAlert();

    // Asks for a directory and adds it; errors are reported and shown. Returns at once.
    static void addFolder(platform::Binding<std::vector<Folder>> folders);
    // Appends a new folder for `url` to `folders`, read-only when the folder cannot be bookmarked for
    // writing. Throws when it cannot be bookmarked at all; nothing is stored then.
    static void addFolder(const QUrl &url, platform::Binding<std::vector<Folder>> folders);

private:
    MenuBarItem makeItem();
    void setMenuOpen(bool isOpen);
    void setConfigureWindowPresented(bool isPresented);

    // Weakly held by the menu's handlers, which may outlive this item.
    std::shared_ptr<MainMenuBarItem *> m_self = std::make_shared<MainMenuBarItem *>(this);
    platform::Binding<std::vector<Folder>> m_folders;
    bool m_showFoldersInMenu;
    bool m_isMenuOpen = false;
    // The folder submenus of the last build, and their controllers.
    std::vector<std::shared_ptr<KvMenu>> m_folderMenus;
    std::vector<std::shared_ptr<FolderController>> m_folderControllers;
    std::shared_ptr<FolderController> m_currentFolderController;
    std::optional<QUuid> m_currentFolderID;
    platform::Subscription m_configureSubscription;
    FolderConfigurationWindow m_configureWindow;
    platform::Subscription m_toggleMenuSubscription;
    platform::Subscription m_accessSubscription;
    std::shared_ptr<Defaults::DefaultsObservation> m_iconObservation;
    std::unique_ptr<MenuBarItemCoordinator> m_coordinator;
};

} // namespace kestrova

#pragma once

#include "FolderConfigurationWindow.h"
#include "MenuBarItem.h"

#include "platform/observation/Binding.h"
#include "platform/observation/Subscription.h"
#include "foundation/time/Debouncer.h"
#include "store/Folder.h"

#include <chrono>

#include <memory>
#include <vector>

namespace kestrova {

class FolderController;

// A binding of one stored folder, found by its id in `folders`: reads the stored record (the last one known
// once the folder is removed) and writes it back in place; a write after removal stores nothing.
platform::Binding<Folder> folderElementBinding(const Folder &folder,
                                               platform::Binding<std::vector<Folder>> folders);

// The stored list under "folders".
platform::Binding<std::vector<Folder>> storedFoldersBinding();

// The status item of one visible folder: its icon and/or title in the folder's colours (the title drawn into
// the icon, since trays show no text), named by the folder's title whatever the style. A plain click opens
// the folder's menu (built by its FolderController); a right click, Control-click or Option-click opens the
// folder in the file manager instead. The folder's global shortcut (named by its id) opens the menu too, and
// the folder's configuration window shows while the controller asks for it. Rows kept between openings for a
// tray host that shows them without asking first are listed again when the folder changes on disk (its
// top level, after a quiet moment). Main thread only.
class FolderMenuBarItem {
public:
    // How long the folder stays unchanged before the kept rows are listed again: a copy of many files is
    // listed once.
    static constexpr std::chrono::milliseconds kFolderChangeDelay{250};

    // `folder` is the record `binding` reads now: reading the binding decodes the whole stored list, which
    // once per item made a start with many folders take time that grows with their number squared.
    FolderMenuBarItem(const Folder &folder, platform::Binding<Folder> binding,
                      platform::Binding<std::vector<Folder>> folders);
    FolderMenuBarItem(platform::Binding<Folder> binding, platform::Binding<std::vector<Folder>> folders)
        : FolderMenuBarItem(binding.get(), binding, std::move(folders)) {}
    ~FolderMenuBarItem();
    FolderMenuBarItem(const FolderMenuBarItem &) = delete;
    FolderMenuBarItem &operator=(const FolderMenuBarItem &) = delete;

    // Shows `folder`, the folder's new record.
    void render(const Folder &folder);

    // The status item's value for `folder`; clicks and menus go to `controller`.
    static MenuBarItem makeItem(const Folder &folder, const std::shared_ptr<FolderController> &controller);
    // Whether a click opens the folder itself rather than its menu.
    static bool opensFolderInstead(const platform::StatusItemClick &click);

    const std::shared_ptr<FolderController> &folderController() const { return m_controller; }
    MenuBarItemCoordinator &coordinator() const { return *m_coordinator; }

private:
    void setConfigureWindowPresented(bool isPresented);
    void watchFolder(const Folder &folder);

    std::shared_ptr<FolderController> m_controller;
    std::unique_ptr<MenuBarItemCoordinator> m_coordinator;
    platform::Subscription m_menuOpenSubscription;
    platform::Subscription m_configureSubscription;
    platform::Subscription m_shortcutSubscription;
    FolderConfigurationWindow m_configureWindow;
    QString m_watchedPath;
    platform::Subscription m_folderWatch;
    Debouncer m_folderChanges{kFolderChangeDelay};
};

} // namespace kestrova

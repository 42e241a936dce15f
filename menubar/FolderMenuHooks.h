#pragma once

#include "platform/observation/Binding.h"
#include "platform/menus/MenuItem.h"
#include "store/Folder.h"
#include "store/Shortkeel.h"

#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

namespace kestrova {

class FolderController;
class KvMenu;
namespace platform {
class Menu;
}

// A key event seen while a folder menu is open, as the key monitor reports it.
struct MenuKeyEvent {
    enum class Type { keyDown, keyUp, other };
    Type type = Type::keyDown;
    std::int64_t keyCode = 0;
    platform::Modifiers modifiers = {};
};

// Watches the keyboard while a folder menu is open; its callback answers whether it consumed the event.
// Made by FolderMenuHooks::makeKeyMonitor on every build of a folder menu, started when the menu opens and
// stopped when it closes. Destroying a started monitor stops it.
class MenuKeyMonitor {
public:
    virtual ~MenuKeyMonitor() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
};

// What the folder menus reach in layers that are built later or sit above them, installed at start-up.
// Every hook may be left empty: the menus then leave out what it would add (noted per hook).
struct FolderMenuHooks {
    // The application section at the end of a folder's More submenu. Empty: the section is left out.
    std::function<void(platform::Binding<std::vector<Folder>> folders, KvMenu &menu)> addAppSection = {};
    // Opens an entry chosen in a folder menu (reveal for links, an explanation for unreadable entries…).
    // Empty: the entry is opened with the desktop's handler.
    std::function<void(const QUrl &url, bool isFolder, bool isReadable)> openEntry = {};
    // The submenu of a readable regular file. Empty: files get no submenu.
    std::function<std::shared_ptr<platform::Menu>(const QUrl &url, const std::shared_ptr<FolderController> &)>
        fileSubmenu = {};
    // The help shown for the entry or folder at `url` that cannot be read. Empty: one disabled line says so.
    std::function<void(platform::Menu &menu, const QUrl &url)> addMissingAccessItems = {};
    // "Open With" for a subfolder, in its header. Empty: left out.
    std::function<void(platform::Menu &menu, const QUrl &url)> addOpenWithItem = {};
    // The file manager's information window for an item ("Get Info"). Empty: the item does nothing.
    std::function<void(const QUrl &url)> showInfo = {};
    // A key monitor whose callback gets every key event while a folder menu is open. Empty: none.
    std::function<std::unique_ptr<MenuKeyMonitor>(std::function<bool(const MenuKeyEvent &)> callback)>
        makeKeyMonitor = {};
    // Closes `menu`, the folder menu on screen, without animation. Empty: the model is told it closed.
    std::function<void(platform::Menu &menu)> cancelMenuTracking = {};
    // Runs the global-shortcut library's key-down handlers of a shortcut (opens that folder's menu).
    std::function<void(const Shortkeel::Shortcut &shortcut)> dispatchShortcutKeyDown = {};

    static const FolderMenuHooks &shared();
    static void setShared(FolderMenuHooks hooks);
};

} // namespace kestrova

#pragma once

#include "FolderContentsLoader.h"
#include "FolderMenuHooks.h"

#include "platform/observation/Binding.h"
#include "platform/observation/Subscription.h"
#include "store/Folder.h"

#include <QElapsedTimer>

#include <memory>
#include <optional>
#include <vector>

namespace kestrova {

class KvMenu;

// The object behind one folder's menu, used by that folder's status item and by the folder submenus of the
// main status item. Every time the menu opens, buildMenu fills the emptied menu: the folder's hidden
// Control actions, its title row, its contents and its More submenu. It also holds the menu's open state:
// while it is open every folder's global hot key is off and a key monitor lets folder shortcuts work inside
// the menu (handleMenuKeyDown).
//
// Always held in a shared_ptr (create): item actions and submenu builders keep it weakly and do nothing, or
// build an empty menu, once it is gone. Reads of the folder go through the binding, so edits made
// elsewhere show at once. Main thread only.
class FolderController : public std::enable_shared_from_this<FolderController> {
public:
    static std::shared_ptr<FolderController> create(platform::Binding<Folder> folder,
                                                    platform::Binding<std::vector<Folder>> folders);
    ~FolderController();
    FolderController(const FolderController &) = delete;
    FolderController &operator=(const FolderController &) = delete;

    Folder folder() const { return m_folder.get(); }
    const platform::Binding<Folder> &folderBinding() const { return m_folder; }
    const platform::Binding<std::vector<Folder>> &foldersBinding() const { return m_folders; }

    // Set by the status item while the menu is open. Each change is handled on later turns of the event
    // loop: hot keys off (on) at once, then the key monitor started (stopped); setting the value it already
    // has changes nothing.
    bool isMenuOpen() const { return m_isMenuOpen; }
    void setMenuOpen(bool isOpen);
    // True asks the status item to show the folder's configuration window.
    bool isConfigureWindowPresented() const { return m_isConfigureWindowPresented; }
    void setConfigureWindowPresented(bool isPresented);
    // Told every set value (equal ones included), like a published property.
    [[nodiscard]] platform::Subscription observeMenuOpen(std::function<void(bool)> handler);
    [[nodiscard]] platform::Subscription observeConfigureWindowPresented(std::function<void(bool)> handler);

    // Fills the given, already emptied menu. Never throws: a folder that cannot be resolved shows why and
    // offers to remove it. The key monitor made here closes `menu`, so the menu must outlive the next
    // buildMenu (status items keep their menu for their whole life). Once the menu has opened and closed
    // again, its rows (and the listing behind them) are released on a later turn, unless it is open again
    // or rebuilt by then: a large folder's menu keeps no memory while it is closed.
    void buildMenu(KvMenu &menu);
    // The same for a menu whose items `shownMenu` takes over before they show (the lazy folder submenu of
    // the main status item): the key monitor closes `shownMenu`, the menu on screen, while it lives.
    void buildMenu(KvMenu &menu, const std::shared_ptr<platform::Menu> &shownMenu);
    // Asked by a click before the menu opens: lists the folder's top level off the main thread. True when
    // the listing ended at once (the menu may open now and shows it); false when it takes longer: the
    // event loop goes on (other icons answer) and the menu opens once the listing ends or the time limit
    // passes, unless another folder's menu was asked for meanwhile.
    bool prepareMenu();
    // The listing prepared for `directory` by a click an instant ago, once; nothing when none is that fresh.
    std::optional<FolderListing> takePreparedListing(const QUrl &directory);

    // The folder's own actions followed by the application section.
    std::shared_ptr<KvMenu> moreMenu();
    // "Remove Folder", for a folder that cannot be listed at all: it forgets the folder and relaunches.
    void addRemoveFolderItem(platform::Menu &menu) const;

    // The key monitor of the latest buildMenu (null before the first).
    MenuKeyMonitor *keyMonitor() const { return m_keyMonitor.get(); }

private:
    FolderController(platform::Binding<Folder> folder, platform::Binding<std::vector<Folder>> folders);
    void menuOpenStateDidChange(bool isOpen);
    void releaseRowsAfterClosing(KvMenu &menu);
    // Where the listing has not ended: starts it, marks `menu` awaiting its rows and builds it again once
    // they are there (through its update handler, else here). False when the rows are to be built now
    // (a listing is prepared or has just ended).
    bool leavesRowsForLater(KvMenu &menu, const QUrl &directory,
                            const std::shared_ptr<platform::Menu> &shownMenu);

    std::unique_ptr<MenuKeyMonitor> m_keyMonitor;
    platform::Binding<Folder> m_folder;
    platform::Binding<std::vector<Folder>> m_folders;
    bool m_isMenuOpen = false;
    bool m_isConfigureWindowPresented = false;
    platform::ObserverList<bool> m_menuOpenObservers;
    platform::ObserverList<bool> m_configureObservers;
    platform::Subscription m_closeSubscription;
    struct PreparedListing {
        QUrl directory;
        FolderListing listing;
        QElapsedTimer age;
    };
    std::optional<PreparedListing> m_prepared;
    void prepare(const QUrl &directory, FolderListing listing);
    // The latest listing left for later; an earlier one that ends after it is dropped.
    int m_laterRowsRequest = 0;
};

// Copies the URL to the clipboard with the source marker.
void copyURLToPasteboard(const QUrl &url);

} // namespace kestrova

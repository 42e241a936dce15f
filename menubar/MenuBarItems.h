#pragma once

#include "FolderMenuBarItem.h"
#include "MainMenuBarItem.h"

#include "store/DecodedFolders.h"
#include "store/Folder.h"

#include <QObject>
#include <QUuid>

#include <chrono>
#include <map>
#include <memory>
#include <vector>

namespace kestrova {

namespace Defaults {
class DefaultsObservation;
}

// Keeps the tray in step with the stored folders: one status item per visible folder, in stored order, or
// the main status item alone when "showFoldersInMenu" is on or no folder is visible. Watches "folders" and
// "showFoldersInMenu"; each change is applied on the next turn of the event loop, so a menu action that
// edits the list never destroys the item it runs in. A folder keeps its status item (and controller) while
// it stays visible, whatever else changes; its item is redrawn only when its own record changed. New status
// items are made a slice of time at a time, in stored order, one turn of the event loop each, so many
// folders never hold up the bus and the tray for longer than a slice. Main thread only.
class MenuBarItems : public QObject {
    Q_OBJECT

public:
    // How long one turn of the event loop spends making status items (at least one is made a turn).
    static constexpr std::chrono::milliseconds kCreationSlice{8};

    // Builds the status items for the stored settings: the first slice at once, the rest on later turns.
    explicit MenuBarItems(QObject *parent = nullptr);
    // The same with the stored folders decoded ahead (on another thread).
    explicit MenuBarItems(DecodedFolders storedFolders, QObject *parent = nullptr);
    ~MenuBarItems() override;

    // Applies the stored settings now: items go and change at once, new ones come a slice at a time.
    void reconcile();

    // The visible folders, in stored order.
    static std::vector<Folder> visibleFolders(const std::vector<Folder> &folders);

    // Whether status items are still to be made on later turns.
    bool isMakingItems() const { return !m_pending.empty(); }

    // What is on the tray now.
    MainMenuBarItem *mainItem() const { return m_mainItem.get(); }
    FolderMenuBarItem *folderItem(const QUuid &id) const;
    // The folders that have a status item, in stored order.
    const std::vector<QUuid> &folderItemIds() const { return m_order; }

Q_SIGNALS:
    // No status item is left to make: the last slice is done, or a change left nothing to make.
    void itemsMade();

private:
    struct FolderEntry {
        Folder folder;
        std::unique_ptr<FolderMenuBarItem> item;
    };

    void scheduleReconcile();
    void reconcile(const std::vector<Folder> &storedFolders);
    // Makes pending items for a slice, at least one, and schedules the rest for the next turn.
    void makePendingItems();
    void scheduleMakingPendingItems();

    std::map<QUuid, FolderEntry> m_folderItems;
    std::vector<QUuid> m_order;
    std::unique_ptr<MainMenuBarItem> m_mainItem;
    std::shared_ptr<Defaults::DefaultsObservation> m_observation;
    bool m_isReconcileScheduled = false;
    // The visible folders of the last reconcile, made into status items in order up to the index: the
    // first `m_pendingIndex` of m_order are theirs, the rest those of later folders that stayed.
    std::vector<Folder> m_pending;
    std::size_t m_pendingIndex = 0;
    bool m_isCreationScheduled = false;
};

} // namespace kestrova

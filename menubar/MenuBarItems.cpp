#include "MenuBarItems.h"

#include "store/DefaultsKeys.h"
#include "store/DefaultsObservation.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace kestrova {

MenuBarItems::MenuBarItems(QObject *parent)
    : QObject(parent) {
    reconcile();
    m_observation = Defaults::observe({Defaults::Keys::folders(), Defaults::Keys::showFoldersInMenu()}, {},
                                      [this] { scheduleReconcile(); });
}

MenuBarItems::~MenuBarItems() {
    if (m_observation)
        m_observation->invalidate();
}

std::vector<Folder> MenuBarItems::visibleFolders(const std::vector<Folder> &folders) {
    std::vector<Folder> visible;
    std::copy_if(folders.begin(), folders.end(), std::back_inserter(visible),
                 [](const Folder &folder) { return folder.isVisible; });
    return visible;
}

FolderMenuBarItem *MenuBarItems::folderItem(const QUuid &id) const {
    const auto found = m_folderItems.find(id);
    return found == m_folderItems.end() ? nullptr : found->second.item.get();
}

void MenuBarItems::scheduleReconcile() {
    if (m_isReconcileScheduled)
        return;
    m_isReconcileScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_isReconcileScheduled = false;
            reconcile();
        },
        Qt::QueuedConnection);
}

void MenuBarItems::reconcile() {
    const std::vector<Folder> visible = visibleFolders(Defaults::get(Defaults::Keys::folders()));
    const bool showFoldersInMenu = Defaults::get(Defaults::Keys::showFoldersInMenu());

    if (showFoldersInMenu || visible.empty()) {
        m_folderItems.clear();
        m_order.clear();
        m_pending.clear();
        // The main item takes the setting when made, so a switch makes a new one.
        if (!m_mainItem || m_mainItem->showFoldersInMenu() != showFoldersInMenu) {
            m_mainItem.reset();
            m_mainItem = std::make_unique<MainMenuBarItem>(storedFoldersBinding(), showFoldersInMenu);
        }
        return;
    }

    m_mainItem.reset();
    QSet<QUuid> wanted;
    for (const Folder &folder : visible)
        wanted.insert(folder.id);
    std::erase_if(m_folderItems, [&wanted](const auto &entry) { return !wanted.contains(entry.first); });
    for (const Folder &folder : visible) {
        auto found = m_folderItems.find(folder.id);
        if (found != m_folderItems.end() && !(found->second.folder == folder)) {
            found->second.folder = folder;
            found->second.item->render(folder);
        }
    }
    m_pending = visible;
    m_pendingIndex = 0;
    makePendingItems(kItemsAtOnce);
}

void MenuBarItems::makePendingItems(std::size_t atLeast) {
    QElapsedTimer slice;
    slice.start();
    const std::size_t first = m_pendingIndex;
    while (m_pendingIndex < m_pending.size()) {
        // The rest on later turns: a thousand folders made at once kept the bus and the tray waiting for
        // seconds.
        if (m_pendingIndex - first >= atLeast && slice.elapsed() >= kCreationSlice.count()) {
            scheduleMakingPendingItems();
            break;
        }
        const Folder &folder = m_pending[m_pendingIndex++];
        if (m_folderItems.contains(folder.id))
            continue;
        auto item = std::make_unique<FolderMenuBarItem>(
            folder, folderElementBinding(folder, storedFoldersBinding()), storedFoldersBinding());
        m_folderItems.emplace(folder.id, FolderEntry{folder, std::move(item)});
    }
    m_order.clear();
    for (const Folder &folder : m_pending) {
        if (m_folderItems.contains(folder.id))
            m_order.push_back(folder.id);
    }
    if (m_pendingIndex >= m_pending.size())
        m_pending.clear();
}

void MenuBarItems::scheduleMakingPendingItems() {
    if (m_isCreationScheduled)
        return;
    m_isCreationScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_isCreationScheduled = false;
        makePendingItems(0);
    });
}

} // namespace kestrova

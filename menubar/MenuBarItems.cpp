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
    : MenuBarItems(DecodedFolders::read(), parent) {}

MenuBarItems::MenuBarItems(DecodedFolders storedFolders, QObject *parent)
    : QObject(parent) {
    reconcile(std::move(storedFolders).take());
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
    reconcile(Defaults::get(Defaults::Keys::folders()));
}

void MenuBarItems::reconcile(const std::vector<Folder> &storedFolders) {
    // A folder listed twice (a settings file edited by hand) gets one item, where it is first listed.
    QSet<QUuid> wanted;
    std::vector<Folder> visible;
    for (Folder &folder : visibleFolders(storedFolders)) {
        if (!wanted.contains(folder.id)) {
            wanted.insert(folder.id);
            visible.push_back(std::move(folder));
        }
    }
    const bool showFoldersInMenu = Defaults::get(Defaults::Keys::showFoldersInMenu());

    if (showFoldersInMenu || visible.empty()) {
        m_folderItems.clear();
        m_order.clear();
        m_pending.clear();
        Q_EMIT itemsMade();
        // The main item takes the setting when made, so a switch makes a new one.
        if (!m_mainItem || m_mainItem->showFoldersInMenu() != showFoldersInMenu) {
            m_mainItem.reset();
            m_mainItem = std::make_unique<MainMenuBarItem>(storedFoldersBinding(), showFoldersInMenu);
        }
        return;
    }

    m_mainItem.reset();
    std::erase_if(m_folderItems, [&wanted](const auto &entry) { return !wanted.contains(entry.first); });
    for (const Folder &folder : visible) {
        auto found = m_folderItems.find(folder.id);
        if (found != m_folderItems.end() && !(found->second.folder == folder)) {
            found->second.folder = folder;
            found->second.item->render(folder);
        }
    }
    // The items that stay, in their new order; new ones go in between as they are made.
    m_order.clear();
    for (const Folder &folder : visible) {
        if (m_folderItems.contains(folder.id))
            m_order.push_back(folder.id);
    }
    m_pending = std::move(visible);
    m_pendingIndex = 0;
    makePendingItems();
}

void MenuBarItems::makePendingItems() {
    QElapsedTimer slice;
    slice.start();
    while (m_pendingIndex < m_pending.size()) {
        const Folder &folder = m_pending[m_pendingIndex++];
        if (!m_folderItems.contains(folder.id)) {
            auto item = std::make_unique<FolderMenuBarItem>(
                folder, folderElementBinding(folder, storedFoldersBinding()), storedFoldersBinding());
            m_folderItems.emplace(folder.id, FolderEntry{folder, std::move(item)});
            // After the items of the folders before it: those made and those that stayed.
            m_order.insert(m_order.begin() + std::ptrdiff_t(m_pendingIndex - 1), folder.id);
        }
        // The rest on later turns: a thousand folders made at once kept the bus and the tray waiting for
        // seconds.
        if (m_pendingIndex < m_pending.size() && slice.elapsed() >= kCreationSlice.count()) {
            scheduleMakingPendingItems();
            return;
        }
    }
    m_pending.clear();
    Q_EMIT itemsMade();
}

void MenuBarItems::scheduleMakingPendingItems() {
    if (m_isCreationScheduled)
        return;
    m_isCreationScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_isCreationScheduled = false;
        makePendingItems();
    });
}

} // namespace kestrova

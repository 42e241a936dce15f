#include "MenuBarItems.h"

#include "store/DefaultsKeys.h"
#include "store/DefaultsObservation.h"

#include "platform/menus/MenuBuildingWait.h"

#include <QMetaObject>

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
    // Never while a menu waits to be built: the item it belongs to may be the one that goes.
    QMetaObject::invokeMethod(
        this,
        [this] {
            platform::MenuBuildingWait::runWhenMenusAreBuilt(this, [this] {
                m_isReconcileScheduled = false;
                reconcile();
            });
        },
        Qt::QueuedConnection);
}

void MenuBarItems::reconcile() {
    const std::vector<Folder> visible = visibleFolders(Defaults::get(Defaults::Keys::folders()));
    const bool showFoldersInMenu = Defaults::get(Defaults::Keys::showFoldersInMenu());

    if (showFoldersInMenu || visible.empty()) {
        m_folderItems.clear();
        m_order.clear();
        // The main item takes the setting when made, so a switch makes a new one.
        if (!m_mainItem || m_mainItem->showFoldersInMenu() != showFoldersInMenu) {
            m_mainItem.reset();
            m_mainItem = std::make_unique<MainMenuBarItem>(storedFoldersBinding(), showFoldersInMenu);
        }
        return;
    }

    m_mainItem.reset();
    std::vector<QUuid> order;
    for (const Folder &folder : visible)
        order.push_back(folder.id);
    std::erase_if(m_folderItems, [&order](const auto &entry) {
        return std::find(order.begin(), order.end(), entry.first) == order.end();
    });
    for (const Folder &folder : visible) {
        auto found = m_folderItems.find(folder.id);
        if (found == m_folderItems.end()) {
            auto item = std::make_unique<FolderMenuBarItem>(
                folder, folderElementBinding(folder, storedFoldersBinding()), storedFoldersBinding());
            m_folderItems.emplace(folder.id, FolderEntry{folder, std::move(item)});
        } else if (!(found->second.folder == folder)) {
            found->second.folder = folder;
            found->second.item->render(folder);
        }
    }
    m_order = std::move(order);
}

} // namespace kestrova

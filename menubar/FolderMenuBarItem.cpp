#include "FolderMenuBarItem.h"

#include "FolderChangeWatch.h"
#include "FolderController.h"

#include "store/DefaultsKeys.h"
#include "store/ShortkeelHandlers.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/utilities/UrlOpener.h"

namespace kestrova {

platform::Binding<Folder> folderElementBinding(const Folder &folder,
                                               platform::Binding<std::vector<Folder>> folders) {
    auto lastKnown = std::make_shared<Folder>(folder);
    return platform::Binding<Folder>(
        [lastKnown, folders] {
            for (const Folder &stored : folders.get()) {
                if (stored.id == lastKnown->id) {
                    *lastKnown = stored;
                    break;
                }
            }
            return *lastKnown;
        },
        [lastKnown, folders](const Folder &value) {
            auto list = folders.get();
            for (Folder &stored : list) {
                if (stored.id == value.id) {
                    stored = value;
                    *lastKnown = value;
                    folders.set(list);
                    return;
                }
            }
        });
}

platform::Binding<std::vector<Folder>> storedFoldersBinding() {
    return platform::Binding<std::vector<Folder>>(
        [] { return Defaults::get(Defaults::Keys::folders()); },
        [](const std::vector<Folder> &value) { Defaults::set(Defaults::Keys::folders(), value); });
}

FolderMenuBarItem::FolderMenuBarItem(const Folder &folder, platform::Binding<Folder> binding,
                                     platform::Binding<std::vector<Folder>> folders)
    : m_controller(FolderController::create(std::move(binding), std::move(folders))) {
    m_coordinator = std::make_unique<MenuBarItemCoordinator>(makeItem(folder, m_controller));
    // The controller's flag is also set from outside (a folder's shortcut): the status item follows it.
    m_menuOpenSubscription = m_controller->observeMenuOpen([this](bool isOpen) {
        if (isOpen != m_coordinator->menu()->isOpen())
            m_coordinator->update(m_coordinator->item());
    });
    m_configureSubscription = m_controller->observeConfigureWindowPresented(
        [this](bool isPresented) { setConfigureWindowPresented(isPresented); });
    watchFolder(folder);
    m_shortcutSubscription =
        Shortkeel::onKeyDown(folder.shortcutName(), [controller = std::weak_ptr(m_controller)] {
            const auto strong = controller.lock();
            if (!strong)
                return;
            // What a click with no mouse button held does: access first, then the menu, which opens once the
            // folder is listed (a second press meanwhile opens it once).
            Folder::startAccessingSecurityScopedResources();
            if (strong->prepareMenu())
                strong->setMenuOpen(true);
        });
}

FolderMenuBarItem::~FolderMenuBarItem() = default;

void FolderMenuBarItem::setConfigureWindowPresented(bool isPresented) {
    if (isPresented)
        m_configureWindow.show(m_controller->folderBinding(), m_controller);
    else
        m_configureWindow.close();
}

void FolderMenuBarItem::render(const Folder &folder) {
    m_coordinator->update(makeItem(folder, m_controller));
    watchFolder(folder);
}

void FolderMenuBarItem::watchFolder(const Folder &folder) {
    const auto url = folder.urlBookmark.url();
    const QString path = url ? url->toLocalFile() : QString();
    if (path == m_watchedPath && m_folderWatch.isActive())
        return;
    m_watchedPath = path;
    m_folderWatch = FolderChangeWatch::watch(
        path, [this] { m_folderChanges([this] { m_coordinator->refreshClosedMenu(); }); });
}

MenuBarItem FolderMenuBarItem::makeItem(const Folder &folder,
                                        const std::shared_ptr<FolderController> &controller) {
    MenuBarItem item;
    item.id = folder.id.toString(QUuid::WithoutBraces);
    const QString title = folder.title();
    if (Folder::showsTitle(folder.menuBarItemStyle))
        item.title = title;
    // Whatever the style shows, the tray names the folder: icons alone cannot tell two folders apart.
    item.toolTip = title;
    if (Folder::showsIcon(folder.menuBarItemStyle))
        item.icon = StatusItemIcon::from(folder.nsImage());
    item.width = StatusItemWidth::variable();
    if (folder.lightColor)
        item.lightIconColor = folder.lightColor->toQColor();
    if (folder.darkColor)
        item.darkIconColor = folder.darkColor->toQColor();
    std::weak_ptr<FolderController> weakController = controller;
    item.buildMenu = [weakController](KvMenu &menu) {
        if (auto strong = weakController.lock())
            strong->buildMenu(menu);
    };
    item.isMenuOpen = platform::Binding<bool>(
        [weakController] {
            auto strong = weakController.lock();
            return strong && strong->isMenuOpen();
        },
        [weakController](const bool &isOpen) {
            if (auto strong = weakController.lock())
                strong->setMenuOpen(isOpen);
        });
    item.action = [weakController](const platform::StatusItemClick &click) {
        Folder::startAccessingSecurityScopedResources();
        if (!opensFolderInstead(click)) {
            // A folder that lists slowly opens its menu later, so the other icons answer meanwhile.
            const auto strong = weakController.lock();
            return !strong || strong->prepareMenu();
        }
        if (auto strong = weakController.lock()) {
            if (const auto url = strong->folder().urlBookmark.url())
                UrlOpener::open(*url);
        }
        return false;
    };
    return item;
}

bool FolderMenuBarItem::opensFolderInstead(const platform::StatusItemClick &click) {
    using platform::Modifier;
    using Button = platform::StatusItemClick::Button;
    if (click.button == Button::right)
        return true;
    if (click.button != Button::left)
        return false;
    // Only the four modifier keys count; Caps Lock and the like never reach the click's mask.
    const platform::Modifiers held =
        click.modifiers & (Modifier::shift | Modifier::control | Modifier::option | Modifier::command);
    return held == platform::Modifiers(Modifier::control) || held == platform::Modifiers(Modifier::option);
}

} // namespace kestrova

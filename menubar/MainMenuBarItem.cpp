#include "MainMenuBarItem.h"

#include "FolderController.h"
#include "FolderMenuBarItem.h"

#include "foundation/ErrorPresentation.h"
#include "foundation/KitHelpers.h"
#include "foundation/KvApp.h"
#include "store/BookmarkData.h"
#include "store/DefaultsKeys.h"
#include "store/DefaultsObservation.h"
#include "ui-kit/menus/CallbackMenuItem.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/menus/MenuBuilding.h"
#include "ui-kit/utilities/UrlOpener.h"
#include "ui-kit/windows/DirectoryPicker.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPalette>

#include <QCoro/QCoroTask>

namespace kestrova {

namespace {

// The folder's image in its colour for the present look; untinted without a colour.
QImage folderImage(const Folder &folder) {
    const MenuBarItemImage image = folder.nsImage();
    const QImage pixels = image.image();
    const bool dark = isDarkMode(QGuiApplication::palette());
    const std::optional<platform::Color> color =
        dark && folder.darkColor ? folder.darkColor : folder.lightColor;
    if (!color)
        return pixels;
    const QImage tinted = platform::SymbolImage::tinted(pixels, color->toQColor());
    return tinted.isNull() ? pixels : tinted;
}

QCoro::Task<> runAddFolder(platform::Binding<std::vector<Folder>> folders) {
    DirectoryPicker::Options options;
    options.prompt = QStringLiteral("Add");
    options.canCreateDirectories = true;
    const std::optional<QUrl> url = co_await DirectoryPicker::chooseDirectory(options);
    if (!url)
        co_return;
    try {
        MainMenuBarItem::addFolder(*url, folders);
    } catch (const Error &error) {
        KvApp::reportError(error);
        presentAsModal(error);
    }
}

// Shown where a window of a later version would open: visible, but plainly not yet there.
void addUnavailableItem(KvMenu &menu, const QString &title) {
    addCallbackItem(menu, QStringLiteral("%1 (not available yet)").arg(title), [] {}, {.isEnabled = false});
}

} // namespace

MainMenuBarItem::MainMenuBarItem(platform::Binding<std::vector<Folder>> folders, bool showFoldersInMenu)
    : m_folders(std::move(folders))
    , m_showFoldersInMenu(showFoldersInMenu) {
    m_coordinator = std::make_unique<MenuBarItemCoordinator>(makeItem());
    m_iconObservation = Defaults::observe(
        std::vector<std::reference_wrapper<const Defaults::AnyKey>>{Defaults::Keys::menuBarItemIcon()}, {},
        [this] { m_coordinator->update(makeItem()); });
}

MainMenuBarItem::~MainMenuBarItem() {
    if (m_iconObservation)
        m_iconObservation->invalidate();
}

MenuBarItem MainMenuBarItem::makeItem() {
    MenuBarItem item;
    item.id = QStringLiteral("mainItem");
    const MenuBarItemImage image = Defaults::get(Defaults::Keys::menuBarItemIcon()).nsImage();
    item.icon = StatusItemIcon{image.image(), image.isTemplate()};
    item.width = StatusItemWidth::variable();
    item.buildMenu = [this](KvMenu &menu) { buildMenu(menu); };
    item.isMenuOpen = platform::Binding<bool>([this] { return m_isMenuOpen; },
                                              [this](const bool &isOpen) { m_isMenuOpen = isOpen; });
    return item;
}

void MainMenuBarItem::buildMenu(KvMenu &menu) {
    menu.addSeparator();
    const std::vector<Folder> folders = m_folders.get();
    const bool anyVisible =
        std::any_of(folders.begin(), folders.end(), [](const Folder &folder) { return folder.isVisible; });
    if (!m_showFoldersInMenu || !anyVisible) {
        appSection(m_folders, menu);
        return;
    }
    m_folderMenus.clear();
    m_folderControllers.clear();
    for (const Folder &folder : folders) {
        if (!folder.isVisible)
            continue;
        const auto binding = folderElementBinding(folder, m_folders);
        auto controller = FolderController::create(binding, m_folders);
        auto folderMenu = std::make_shared<KvMenu>();
        m_folderMenus.push_back(folderMenu);
        m_folderControllers.push_back(controller);
        auto item = addCallbackItem(menu, folder.title(), [binding] {
            if (const auto url = binding.get().urlBookmark.url())
                UrlOpener::open(*url);
        });
        item->setImage(folderImage(folder));
        std::weak_ptr<FolderController> weakController = controller;
        std::weak_ptr<KvMenu> weakMenu = folderMenu;
        setLazySubmenu(
            *item, true,
            [weakController](bool isOpen) {
                if (auto strong = weakController.lock())
                    strong->setMenuOpen(isOpen);
            },
            [weakController, weakMenu]() -> std::shared_ptr<platform::Menu> {
                auto strongMenu = weakMenu.lock();
                if (auto strong = weakController.lock(); strong && strongMenu)
                    strong->buildMenu(*strongMenu);
                return strongMenu ? strongMenu : std::make_shared<KvMenu>();
            });
    }
    // Access to the folders lasts while this menu is open. A subscription of its own, so the status
    // item's open-state link stays in place (replacing it would make a later update reopen the menu).
    Folder::startAccessingSecurityScopedResources();
    m_accessSubscription = menu.observeOpenState([](bool isOpen) {
        if (!isOpen)
            Folder::stopAccessingSecurityScopedResources();
    });
    menu.addSeparator();
    auto more = addMoreItem(menu, false);
    withSubmenu(*more, [folders = m_folders](KvMenu &submenu) { appSection(folders, submenu); });
}

void MainMenuBarItem::appSection(platform::Binding<std::vector<Folder>> folders, KvMenu &menu) {
    addCallbackItem(menu, QStringLiteral("Add Folder…"), [folders] { addFolder(folders); },
                    {.key = QStringLiteral("a")});
    menu.addSeparator();
    addCallbackItem(menu, QStringLiteral("Send Feedback…"),
                    [] { UrlOpener::open(KvApp::feedbackPageURL()); });
    menu.addSeparator();
    addUnavailableItem(menu, QStringLiteral("Settings…"));
    menu.addSeparator();
    addQuitItem(menu);
}

void MainMenuBarItem::addFolder(platform::Binding<std::vector<Folder>> folders) {
    QCoro::connect(runAddFolder(std::move(folders)), QCoreApplication::instance(), [] {});
}

void MainMenuBarItem::addFolder(const QUrl &url, platform::Binding<std::vector<Folder>> folders) {
    QByteArray bookmark;
    try {
        bookmark = BookmarkData::create(url, BookmarkData::kWithSecurityScope);
    } catch (const Error &) {
        bookmark = BookmarkData::create(url, BookmarkData::kWithSecurityScope |
                                                 BookmarkData::kSecurityScopeAllowOnlyReadAccess);
    }
    auto list = folders.get();
    list.emplace_back(QUuid::createUuid(), SandboxURLBookmark(bookmark));
    folders.set(list);
}

} // namespace kestrova

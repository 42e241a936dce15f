#include "MainMenuBarItem.h"

#include "FolderController.h"
#include "FolderMenuBarItem.h"
#include "FolderMenuItems_p.h"
#include "ScreenHooks.h"

#include "foundation/errors/AlertBuilder.h"
#include "foundation/errors/ErrorPresentation.h"
#include "foundation/app/KitHelpers.h"
#include "foundation/app/KvApp.h"
#include "store/BookmarkData.h"
#include "store/DefaultsKeys.h"
#include "store/DefaultsObservation.h"
#include "store/ShortkeelHandlers.h"
#include "ui-kit/menus/CallbackMenuItem.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/menus/MenuBuilding.h"
#include "ui-kit/utilities/AttributedTextHelpers.h"
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

// The user guide; every help link is one of its anchors.
constexpr auto kHelpPageAddress = "https://kestrova.org/help";

void startTask(QCoro::Task<> task) {
    QCoro::connect(std::move(task), QCoreApplication::instance(), [] {});
}

QCoro::Task<> runAboutAlert() {
    if (const auto activate = KvApp::hooks().activateApplication)
        activate();
    const auto alert = std::make_shared<platform::Alert>(makeAlert(AlertOptions{
        .title = KvApp::name(),
        .message = QStringLiteral("Version ") + KvApp::versionWithBuild(),
        .style = platform::Alert::Style::informational,
    }));
    co_await platform::AlertPresenter::shared().run(alert);
}

// A plain item (no action of its own) whose submenu `build` fills.
void addSubmenuItem(KvMenu &menu, const QString &title, const std::function<void(KvMenu &)> &build) {
    withSubmenu(*menu.addItem(std::make_shared<platform::MenuItem>(title)), build);
}

} // namespace

MainMenuBarItem::MainMenuBarItem(platform::Binding<std::vector<Folder>> folders, bool showFoldersInMenu)
    : m_folders(std::move(folders))
    , m_showFoldersInMenu(showFoldersInMenu) {
    m_coordinator = std::make_unique<MenuBarItemCoordinator>(makeItem());
    m_iconObservation = Defaults::observe(
        std::vector<std::reference_wrapper<const Defaults::AnyKey>>{Defaults::Keys::menuBarItemIcon()}, {},
        [this] { m_coordinator->update(makeItem()); });
    // Folders in the menu only: otherwise the shortcut belongs to nobody here.
    if (m_showFoldersInMenu)
        m_toggleMenuSubscription =
            Shortkeel::onKeyDown(Shortkeel::Name::toggleMenu(), [this] { setMenuOpen(true); });
}

MainMenuBarItem::~MainMenuBarItem() {
    m_self.reset();
    if (m_iconObservation)
        m_iconObservation->invalidate();
}

void MainMenuBarItem::setMenuOpen(bool isOpen) {
    m_isMenuOpen = isOpen;
    // The status item applies the open state with its next value.
    m_coordinator->update(m_coordinator->item());
}

QUrl MainMenuBarItem::helpPageURL(const QString &anchor) {
    return QUrl(QString::fromLatin1(kHelpPageAddress) + anchor);
}

MenuBarItem MainMenuBarItem::makeItem() {
    MenuBarItem item;
    item.id = QStringLiteral("mainItem");
    item.icon = StatusItemIcon::from(Defaults::get(Defaults::Keys::menuBarItemIcon()).nsImage());
    item.width = StatusItemWidth::variable();
    item.buildMenu = [this](KvMenu &menu) { buildMenu(menu); };
    item.isMenuOpen = platform::Binding<bool>([this] { return m_isMenuOpen; },
                                              [this](const bool &isOpen) { m_isMenuOpen = isOpen; });
    return item;
}

void MainMenuBarItem::buildMenu(KvMenu &menu) {
    buildMenu(menu, KvApp::isFirstLaunch());
}

void MainMenuBarItem::buildMenu(KvMenu &menu, bool isFirstLaunch) {
    const std::vector<Folder> folders = m_folders.get();
    // The hint asks for a first folder: once one is stored (added during the first run, or brought along
    // in the settings) it would tell the user to do what is done.
    if (isFirstLaunch && folders.empty()) {
        const platform::AttributedText hint(QStringLiteral("Add a folder to get started"));
        auto item = menu.addItem(std::make_shared<platform::MenuItem>());
        item->setAttributedTitle(withFont(hint, boldFont(fontOf(hint))));
        item->setEnabled(false);
        menu.addSeparator();
        addCallbackItem(menu, QStringLiteral("Guide"),
                        [] { UrlOpener::open(helpPageURL(QStringLiteral("#guide"))); });
        menu.addSeparator();
    }
    menu.addSeparator();
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
        std::weak_ptr<platform::MenuItem> weakItem = item;
        setLazySubmenu(
            *item, true,
            // A presenter may hold the menu past this item's life: the handler then does nothing.
            [self = std::weak_ptr(m_self), weakController, folder](bool isOpen) {
                const auto owner = self.lock();
                if (auto strong = weakController.lock(); owner && strong)
                    (*owner)->folderMenuOpenChanged(isOpen, strong, folder);
            },
            [weakController, weakMenu, weakItem]() -> std::shared_ptr<platform::Menu> {
                auto strongMenu = weakMenu.lock();
                // The rows move into the item's own submenu, which is the one on screen.
                const auto strongItem = weakItem.lock();
                if (auto strong = weakController.lock(); strong && strongMenu)
                    strong->buildMenu(*strongMenu, strongItem ? strongItem->submenu() : nullptr);
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

void MainMenuBarItem::folderMenuOpenChanged(bool isOpen, const std::shared_ptr<FolderController> &controller,
                                            const Folder &folder) {
    if (isOpen) {
        if (controller != m_currentFolderController) {
            m_currentFolderController = controller;
            m_configureSubscription = controller->observeConfigureWindowPresented(
                [this](bool isPresented) { setConfigureWindowPresented(isPresented); });
            // A controller that asks for no window closes the one of the folder before.
            setConfigureWindowPresented(controller->isConfigureWindowPresented());
        }
        m_currentFolderID = folder.id;
    }
    controller->setMenuOpen(isOpen);
}

void MainMenuBarItem::setConfigureWindowPresented(bool isPresented) {
    if (!m_showFoldersInMenu)
        return;
    if (!isPresented) {
        m_configureWindow.close();
        return;
    }
    // The folder may have been removed since its submenu opened: then there is nothing to configure.
    if (const auto binding = m_currentFolderID ? folderBinding(*m_currentFolderID) : std::nullopt)
        m_configureWindow.show(*binding, m_currentFolderController);
}

std::optional<platform::Binding<Folder>> MainMenuBarItem::folderBinding(const QUuid &id) const {
    for (const Folder &folder : m_folders.get()) {
        if (folder.id == id)
            return folderElementBinding(folder, m_folders);
    }
    return std::nullopt;
}

void MainMenuBarItem::appSection(platform::Binding<std::vector<Folder>> folders, KvMenu &menu) {
    appSection(std::move(folders), menu, KvApp::isDebugMode());
}

void MainMenuBarItem::appSection(platform::Binding<std::vector<Folder>> folders, KvMenu &menu,
                                 bool isDebugMode) {
    addCallbackItem(menu, QStringLiteral("Add Folder…"), [folders] { addFolder(folders); },
                    {.key = QStringLiteral("a")});
    if (!folders.get().empty()) {
        menu.addSeparator();
        addSubmenuItem(menu, QStringLiteral("Folders"),
                       [folders](KvMenu &submenu) { buildFoldersSubmenu(folders, submenu); });
    }
    menu.addSeparator();
    addCallbackItem(menu, QStringLiteral("Send Feedback…"),
                    [] { UrlOpener::open(KvApp::feedbackPageURL()); });
    menu.addSeparator();
    if (KvApp::hooks().showSettingsWindow)
        addCallbackItem(menu, QStringLiteral("Settings…"), [] { KvApp::showSettingsWindowAsync(); },
                        {.key = QStringLiteral(",")});
    menu.addItem(std::make_shared<platform::MenuItem>(QStringLiteral("More")))->setSubmenu(moreMenu());
    menu.addSeparator();
    if (isDebugMode) {
        if (const auto &show = ScreenHooks::shared().showDebugWindow)
            addCallbackItem(menu, QStringLiteral("Debug"), [show] { show(); });
        else
            addUnavailableItem(menu, QStringLiteral("Debug"));
    }
    menu.addSeparator();
    addQuitItem(menu);
}

void MainMenuBarItem::buildFoldersSubmenu(platform::Binding<std::vector<Folder>> folders, KvMenu &menu) {
    addHeader(menu, QStringLiteral("Show"), /*hasSeparator=*/true);
    const std::vector<Folder> list = folders.get();
    for (const Folder &folder : list) {
        const auto binding = folderElementBinding(folder, folders);
        auto item = addCallbackItem(menu, folder.title(), [binding] {
            Folder changed = binding.get();
            changed.isVisible = !changed.isVisible;
            binding.set(changed);
            KvApp::startRelaunch();
        });
        item->setState(folder.isVisible ? platform::MenuItem::State::on : platform::MenuItem::State::off);
        item->setImage(folder.nsImage().image());
    }
    menu.addSeparator();
    const bool anyHidden =
        std::any_of(list.begin(), list.end(), [](const Folder &folder) { return !folder.isVisible; });
    const bool anyVisible =
        std::any_of(list.begin(), list.end(), [](const Folder &folder) { return folder.isVisible; });
    addCallbackItem(menu, QStringLiteral("Show All"), [folders] { setAllFoldersVisible(true, folders); },
                    {.isEnabled = anyHidden});
    addCallbackItem(menu, QStringLiteral("Hide All"), [folders] { setAllFoldersVisible(false, folders); },
                    {.isEnabled = anyVisible});
}

void MainMenuBarItem::setAllFoldersVisible(bool isVisible, platform::Binding<std::vector<Folder>> folders) {
    // One write: the status items follow the stored list on their own.
    auto list = folders.get();
    for (Folder &folder : list)
        folder.isVisible = isVisible;
    folders.set(list);
}

std::shared_ptr<KvMenu> MainMenuBarItem::moreMenu() {
    auto menu = KvMenu::create();
    addCallbackItem(*menu, QStringLiteral("About"), [] { showAboutAlert(); });
    menu->addSeparator();
    menu->addSeparator();
    addSubmenuItem(*menu, QStringLiteral("FAQ"), [](KvMenu &submenu) { faqMenu(submenu); });
    addCallbackItem(*menu, QStringLiteral("Tips"),
                    [] { UrlOpener::open(helpPageURL(QStringLiteral("#tips"))); });
    addWebsiteItem(*menu, KvApp::website());
    return menu;
}

void MainMenuBarItem::faqMenu(KvMenu &menu) {
    const auto addHelpItem = [&menu](const QString &title, const QString &anchor) {
        addCallbackItem(menu, title, [anchor] { UrlOpener::open(helpPageURL(anchor)); });
    };
    addHelpItem(QStringLiteral("How can I show specific files and folders from various places?"),
                QStringLiteral("#show-specific-items"));
    addHelpItem(QStringLiteral("How can I show multiple folders at the top level in a single menu?"),
                QStringLiteral("#show-multiple-folders"));
    addHelpItem(QStringLiteral("How can I copy the file path or image dimensions?"),
                QStringLiteral("#copy-file-path"));
    addHelpItem(QStringLiteral("How can I use this as an app launcher?"), QStringLiteral("#app-launcher"));
    addHelpItem(
        QStringLiteral("How can I show certain folders in the menu bar depending on what I'm working on?"),
        QStringLiteral("#faq-shortcuts"));
    addHelpItem(QStringLiteral("The app I want does not show up in the “Open With” menu for a folder"),
                QStringLiteral("#folder-open-with"));
    addHelpItem(
        QStringLiteral("How is this better than folder bookmarks in the file manager or on the panel?"),
        QStringLiteral("#bookmarked-folders"));
    addCallbackItem(menu, QStringLiteral("The file opens as read-only"), [] { showReadOnlyBugAlert(); });
    addHelpItem(QStringLiteral("More…"), QStringLiteral("#faq"));
}

void MainMenuBarItem::showReadOnlyBugAlert() {
    platform::Alert alert = makeAlert(AlertOptions{
        .title = QStringLiteral("Files open with your own permissions"),
        .message = QStringLiteral(
            "Kestrova hands the file to its application as it is. A file opens as read-only when your user "
            "may not write to it, or when it lies on a disk or network share mounted read-only. The file "
            "manager's Properties window (hold Alt in the file's submenu and choose “Show More Info”) shows "
            "its permissions and lets you change them; or copy the file to a folder of your own."),
    });
    platform::AlertPresenter::shared().runModal(alert);
}

void MainMenuBarItem::showAboutAlert() {
    startTask(runAboutAlert());
}

void MainMenuBarItem::addFolder(platform::Binding<std::vector<Folder>> folders) {
    startTask(runAddFolder(std::move(folders)));
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

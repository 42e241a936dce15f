#include "FolderController.h"

#include "FileAccess.h"
#include "FolderContentsMenu.h"
#include "FolderMenuItems_p.h"
#include "FolderMenuShortcuts.h"
#include "ScreenHooks.h"

#include "foundation/errors/AlertBuilder.h"
#include "foundation/errors/GeneralError.h"
#include "foundation/app/KvApp.h"
#include "foundation/workspace/PasteboardURL.h"
#include "platform/alerts/Alert.h"
#include "platform/menus/AttributedText.h"
#include "platform/menus/Menu.h"
#include "platform/workspace/Pasteboard.h"
#include "store/Defaults.h"
#include "store/DefaultsKeys.h"
#include "ui-kit/menus/CallbackMenuItem.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/menus/MenuBuilding.h"
#include "ui-kit/utilities/AttributedTextHelpers.h"
#include "ui-kit/utilities/MenuText.h"
#include "ui-kit/utilities/UrlOpener.h"

#include <QCoreApplication>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <cstdio>

namespace kestrova {

namespace {

void printLine(const char *text) {
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void startTask(QCoro::Task<> task) {
    QCoro::connect(std::move(task), QCoreApplication::instance(), [] {});
}

QCoro::Task<> confirmAndRemoveFolder(Folder folder) {
    const auto alert = std::make_shared<platform::Alert>(makeAlert(AlertOptions{
        .title = QStringLiteral("Remove “") + folder.title() + QStringLiteral("” from ") + KvApp::name() +
                 QStringLiteral("?"),
        .message =
            QStringLiteral("This only removes the folder from the app. It does not touch the actual folder."),
        .buttons = {QStringLiteral("Remove"), QStringLiteral("Cancel")},
        .destructiveButtonIndexes = {0},
    }));
    const int response = co_await platform::AlertPresenter::shared().run(alert);
    if (response != platform::ModalResponse::alertFirstButtonReturn)
        co_return;
    folder.remove();
    KvApp::startRelaunch();
}

// A prepared listing this old is not used: the menu shows the folder as it is when it opens.
constexpr qint64 kPreparedListingLifetime = 1000;

// The latest click that asked for a folder menu, of any folder: a slow folder's menu does not open over
// the menu of a folder clicked after it.
int &latestMenuRequest() {
    static int request = 0;
    return request;
}

} // namespace

std::shared_ptr<platform::MenuItem> addHiddenAlternate(platform::Menu &menu, const QString &title,
                                                       std::function<void()> action,
                                                       platform::Modifier modifier) {
    menu.addItem(emptyViewItem());
    auto item = addCallbackItem(menu, title, std::move(action));
    item->setAlternate(true);
    item->setKeyEquivalentModifierMask(modifier);
    return item;
}

std::shared_ptr<platform::MenuItem> addUnavailableItem(platform::Menu &menu, const QString &title) {
    return addCallbackItem(menu, title + QStringLiteral(" (not available yet)"), [] {}, {.isEnabled = false});
}

void addMissingAccessItems(platform::Menu &menu, const QUrl &url) {
    if (const auto &add = FolderMenuHooks::shared().addMissingAccessItems) {
        add(menu, url);
        return;
    }
    menu.addItem(std::make_shared<platform::MenuItem>(missingAccessTitle(url)))->setEnabled(false);
}

void copyURLToPasteboard(const QUrl &url) {
    writeURLs(platform::Pasteboard::general(), {url});
}

std::shared_ptr<FolderController> FolderController::create(platform::Binding<Folder> folder,
                                                           platform::Binding<std::vector<Folder>> folders) {
    return std::shared_ptr<FolderController>(new FolderController(std::move(folder), std::move(folders)));
}

FolderController::FolderController(platform::Binding<Folder> folder,
                                   platform::Binding<std::vector<Folder>> folders)
    : m_folder(std::move(folder))
    , m_folders(std::move(folders)) {}

FolderController::~FolderController() {
    printLine("DEINIT FOLDER CONTROLLER");
}

void FolderController::setMenuOpen(bool isOpen) {
    const bool changed = isOpen != m_isMenuOpen;
    m_isMenuOpen = isOpen;
    m_menuOpenObservers.notify(isOpen);
    if (!changed)
        return;
    // Handled on a later turn, like every open-state change, and only while the controller lives.
    QTimer::singleShot(0, QCoreApplication::instance(), [weak = weak_from_this(), isOpen] {
        if (const auto controller = weak.lock())
            controller->menuOpenStateDidChange(isOpen);
    });
}

void FolderController::menuOpenStateDidChange(bool isOpen) {
    printLine(isOpen ? "IS MENU OPEN true" : "IS MENU OPEN false");
    // While any folder menu is open no folder's hot key is registered; the key monitor takes over.
    Folder::setAllShortcutsEnabled(!isOpen);
    QTimer::singleShot(0, QCoreApplication::instance(), [weak = weak_from_this(), isOpen] {
        const auto controller = weak.lock();
        if (!controller || !controller->m_keyMonitor)
            return;
        if (isOpen)
            controller->m_keyMonitor->start();
        else
            controller->m_keyMonitor->stop();
    });
}

void FolderController::setConfigureWindowPresented(bool isPresented) {
    m_isConfigureWindowPresented = isPresented;
    m_configureObservers.notify(isPresented);
}

platform::Subscription FolderController::observeMenuOpen(std::function<void(bool)> handler) {
    return m_menuOpenObservers.subscribe(std::move(handler));
}

platform::Subscription FolderController::observeConfigureWindowPresented(std::function<void(bool)> handler) {
    return m_configureObservers.subscribe(std::move(handler));
}

void FolderController::buildMenu(KvMenu &menu) {
    buildMenu(menu, nullptr);
}

void FolderController::buildMenu(KvMenu &menu, const std::shared_ptr<platform::Menu> &shownMenu) {
    printLine("buildMenu");
    const std::weak_ptr<FolderController> weak = weak_from_this();

    m_keyMonitor.reset();
    if (const auto &makeMonitor = FolderMenuHooks::shared().makeKeyMonitor) {
        if (shownMenu) {
            m_keyMonitor =
                makeMonitor([weak, weakShown = std::weak_ptr(shownMenu)](const MenuKeyEvent &event) {
                    const auto onScreen = weakShown.lock();
                    return onScreen && handleMenuKeyDown(event, weak, *onScreen);
                });
        } else {
            m_keyMonitor = makeMonitor([weak, openMenu = &menu](const MenuKeyEvent &event) {
                return handleMenuKeyDown(event, weak, *openMenu);
            });
        }
    }

    // The other desktop's "Re-request Folder Permission" and "Request Root Permission" are left out: a
    // folder here is readable exactly as its permissions say, and asking the user to pick it, or the root
    // folder, again would change nothing. The missing-access help says what to change instead.
    addHiddenAlternate(
        menu, QStringLiteral("Copy Path"),
        [weak] {
            const auto controller = weak.lock();
            if (!controller)
                return;
            if (const auto url = controller->folder().urlBookmark.url())
                copyURLToPasteboard(*url);
        },
        platform::Modifier::control);

    const Folder current = folder();
    if (current.showTitleInMenu) {
        auto title = addCallbackItem(menu, QString(), [weak] {
            const auto controller = weak.lock();
            if (!controller)
                return;
            if (const auto url = controller->folder().urlBookmark.url())
                UrlOpener::open(*url);
        });
        title->setAttributedTitle(platform::AttributedText(
            current.title(), {.font = fontWithWeight(systemFont(systemFontSize()), QFont::DemiBold)}));
        title->setSubmenu(moreMenu());
        menu.addSeparator();
    } else {
        addMoreItem(menu, /*isAlternate=*/true)->setSubmenu(moreMenu());
    }

    const auto url = current.urlBookmark.url();
    if (!url) {
        menu.setAwaitingContents(false);
        KvApp::reportError(GeneralError(QStringLiteral("Failed to get folder for URL")),
                           {{QStringLiteral("info"), current.urlBookmark.allProperties()},
                            {QStringLiteral("file"), QStringLiteral("Kestrova/FolderController")},
                            {QStringLiteral("line"), 109}});
        auto explanation = std::make_shared<platform::MenuItem>();
        explanation->setAttributedTitle(platform::AttributedText(
            QStringLiteral("Could not read folder.\n\n") +
            wordWrapped(50,
                        QStringLiteral("This should only happen if the original folder was deleted, the disk "
                                       "was unmounted, or the server was disconnected. Let me know if "
                                       "that's not the case."))));
        explanation->setEnabled(false);
        menu.addItem(explanation);
        addRemoveFolderItem(menu);
    } else if (!leavesRowsForLater(menu, *url, shownMenu)) {
        folderContentsMenu(*url, &menu, shared_from_this());
        menu.setAwaitingContents(false);
    }

    menu.addSeparator();
    if (!current.showTitleInMenu)
        addMoreItem(menu, /*isAlternate=*/false)->setSubmenu(moreMenu());
    // A menu shown by another one gives its rows back through that menu.
    if (!shownMenu)
        releaseRowsAfterClosing(menu);
}

bool FolderController::leavesRowsForLater(KvMenu &menu, const QUrl &directory,
                                          const std::shared_ptr<platform::Menu> &shownMenu) {
    if (auto prepared = takePreparedListing(directory)) {
        // Kept fresh for the build that takes it right after this.
        prepare(directory, std::move(*prepared));
        return false;
    }
    const int request = ++m_laterRowsRequest;
    const auto arrived = [weak = weak_from_this(), request, directory, target = &menu,
                          alive = menu.lifetime(), weakShown = std::weak_ptr(shownMenu),
                          isShownElsewhere = bool(shownMenu)](FolderListing listing) {
        const auto controller = weak.lock();
        if (!controller || request != controller->m_laterRowsRequest || alive.expired() ||
            !target->isAwaitingContents()) {
            // Overtaken by a later listing, or nobody waits: freed off the main thread, long as it may be.
            releaseListingElsewhere(std::move(listing.entries));
            return;
        }
        controller->prepare(directory, std::move(listing));
        // The rows of a menu shown through another one (which holds them meanwhile) go to that menu while
        // it still waits for them. Otherwise built again with the rows, also when closed meanwhile: a host
        // may still show it, and is told. A menu that gave its rows back is built afresh when it is next
        // read or opened.
        const auto shown = weakShown.lock();
        if (isShownElsewhere ? !shown || !shown->isAwaitingContents()
                             : !target->isOpen() && target->isEmpty()) {
            target->setAwaitingContents(false);
            return;
        }
        target->menuNeedsUpdate();
        if (alive.expired() || !target->isAwaitingContents())
            return;
        // Nobody rebuilt it on the update (a menu of our own, or one whose rows another menu shows).
        target->removeAllItems();
        controller->buildMenu(*target, shown);
        if (controller->m_isMenuOpen && controller->m_keyMonitor)
            controller->m_keyMonitor->start();
    };
    auto ready = FolderContentsLoader::listOrNotify(
        folderListingRequest(directory, folder(), /*isTopLevel=*/true), arrived);
    if (ready) {
        prepare(directory, std::move(*ready));
        return false;
    }
    menu.setAwaitingContents(true);
    return true;
}

void FolderController::prepare(const QUrl &directory, FolderListing listing) {
    if (m_prepared)
        releaseListingElsewhere(std::move(m_prepared->listing.entries));
    m_prepared = PreparedListing{directory, std::move(listing), {}};
    m_prepared->age.start();
}

void FolderController::addRemoveFolderItem(platform::Menu &menu) const {
    menu.addSeparator();
    addCallbackItem(menu, QStringLiteral("Remove Folder"), [current = folder()] {
        current.remove();
        KvApp::startRelaunch();
    });
}

void FolderController::releaseRowsAfterClosing(KvMenu &menu) {
    // The token lives in the observer, which the next build replaces: a release still queued then finds
    // it gone and leaves the new rows alone. The menu outlives the next build (see buildMenu). Observers
    // may be called through copies, so the state is shared rather than captured by value.
    auto hasOpened = std::make_shared<bool>(false);
    m_closeSubscription = menu.observeOpenState([&menu, token = hasOpened](bool isOpen) {
        if (isOpen) {
            *token = true;
            return;
        }
        if (!*token)
            return;
        *token = false;
        // On a later turn: the chosen row runs after the close and the submenus hear of theirs first.
        QTimer::singleShot(0, QCoreApplication::instance(), [&menu, weakToken = std::weak_ptr(token)] {
            if (weakToken.expired() || menu.isOpen())
                return;
            // The allocator keeps freed blocks for reuse; once a large menu's rows are gone most of their
            // pages are free and would stay resident.
            menu.releaseAllItemsGradually();
        });
    });
}

bool FolderController::prepareMenu() {
    const Folder current = folder();
    const auto url = current.urlBookmark.url();
    const int request = ++latestMenuRequest();
    if (!url)
        return true;
    auto ready = FolderContentsLoader::listOrNotify(
        folderListingRequest(*url, current, /*isTopLevel=*/true),
        [weak = weak_from_this(), request, directory = *url](FolderListing listing) {
            const auto controller = weak.lock();
            if (!controller || request != latestMenuRequest()) {
                releaseListingElsewhere(std::move(listing.entries));
                return;
            }
            controller->prepare(directory, std::move(listing));
            controller->setMenuOpen(true);
        });
    if (!ready)
        return false;
    prepare(*url, std::move(*ready));
    return true;
}

std::optional<FolderListing> FolderController::takePreparedListing(const QUrl &directory) {
    auto prepared = std::exchange(m_prepared, std::nullopt);
    if (!prepared)
        return std::nullopt;
    if (prepared->directory != directory || prepared->age.elapsed() > kPreparedListingLifetime) {
        releaseListingElsewhere(std::move(prepared->listing.entries));
        return std::nullopt;
    }
    return std::move(prepared->listing);
}

std::shared_ptr<KvMenu> FolderController::moreMenu() {
    auto menu = KvMenu::create();
    const std::weak_ptr<FolderController> weak = weak_from_this();
    const Folder current = folder();
    const auto url = current.urlBookmark.url();

    // The other desktop names its file manager here; ours opens whichever the desktop uses.
    addCallbackItem(*menu, QStringLiteral("Open Folder in File Manager"),
                    [weak] {
                        const auto controller = weak.lock();
                        if (!controller)
                            return;
                        if (const auto url = controller->folder().urlBookmark.url())
                            UrlOpener::open(*url);
                    },
                    {.key = QStringLiteral("o"), .isEnabled = url.has_value()});
    menu->addSeparator();
    // The status item showing this menu opens the window once the flag is up, through the same hook.
    if (ScreenHooks::shared().showFolderConfiguration)
        addCallbackItem(*menu, QStringLiteral("Configure Folder…"),
                        [weak] {
                            if (const auto controller = weak.lock())
                                controller->setConfigureWindowPresented(true);
                        },
                        {.key = QStringLiteral(","),
                         .keyModifiers = platform::Modifier::command | platform::Modifier::shift});
    addCallbackItem(*menu, QStringLiteral("Remove Folder…"),
                    [current] { startTask(confirmAndRemoveFolder(current)); });
    menu->addSeparator();
    if (const auto &addAppSection = FolderMenuHooks::shared().addAppSection)
        addAppSection(m_folders, *menu);
    return menu;
}

} // namespace kestrova

#include "FolderContentsMenu.h"

#include "ContentTypes_p.h"
#include "FolderContents.h"
#include "FolderContentsLoader.h"
#include "FolderController.h"
#include "FolderMenuItems_p.h"
#include "SortByMenu.h"

#include "foundation/text/VisibleBidiControls.h"
#include "foundation/errors/Error.h"
#include "foundation/files/FileUrl.h"
#include "foundation/app/KvApp.h"
#include "platform/menus/AttributedText.h"
#include "platform/workspace/FileIcons.h"
#include "platform/menus/Menu.h"
#include "store/Defaults.h"
#include "store/DefaultsKeys.h"
#include "ui-kit/menus/CallbackMenuItem.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/menus/MenuBuilding.h"
#include "ui-kit/utilities/AttributedTextHelpers.h"
#include "ui-kit/utilities/MenuText.h"
#include "ui-kit/utilities/UrlOpener.h"

#include <QCoreApplication>
#include <QHash>
#include <QIcon>

#include <cerrno>
#include <string_view>
#include <unordered_map>

namespace kestrova {

namespace {

constexpr int kMaximumTitleLength = 40;

int iconPointSize(Folder::FileIconSize size) {
    switch (size) {
    case Folder::FileIconSize::small:
        return 16;
    case Folder::FileIconSize::medium:
        return 24;
    case Folder::FileIconSize::large:
        return 32;
    }
    return 16;
}

// Row icons by kind, drawn once per kind and size for the process; the kind comes from the name only, so no
// entry is opened. Main thread, like every icon.
class RowIcons {
public:
    explicit RowIcons(int pointSize)
        : m_size(pointSize) {}

    QImage icon(const FolderEntry &entry) {
        switch (entry.type) {
        case FolderEntry::Type::directory:
            return cached(QStringLiteral("inode/directory"),
                          [] { return platform::FileIcons::folderIcon(); });
        case FolderEntry::Type::symbolicLink:
            return cached(QStringLiteral("inode/symlink"), [] {
                return platform::FileIcons::iconForMimeType(QStringLiteral("inode/symlink"));
            });
        case FolderEntry::Type::other:
            // Pipes, sockets and devices are rare; which one it is only a look tells.
            return platform::FileIcons::iconForPath(QString::fromUtf8(entry.resolvedPath))
                .pixmap(m_size)
                .toImage();
        case FolderEntry::Type::regularFile:
            break;
        }
        // A link's icon is its target's. Kinds go by extension, so the files of one extension share an
        // icon, found once per listing without making a text of each name.
        const std::string_view extension = extensionOf(entry.resolvedPath);
        if (!extension.empty()) {
            if (const auto found = m_byExtension.find(extension); found != m_byExtension.end())
                return found->second;
        }
        // Only a link's target has a name of its own to be made into text.
        const QString type =
            contentTypeNameForFileName(entry.isSymbolicLink ? entry.resolvedName() : entry.name);
        QImage image = cached(type, [&] { return platform::FileIcons::iconForMimeType(type); });
        if (!extension.empty())
            m_byExtension.emplace(extension, image);
        return image;
    }

private:
    template <typename MakeIcon> QImage cached(const QString &type, MakeIcon makeIcon) {
        static QHash<QPair<int, QString>, QImage> images;
        const QPair<int, QString> key(m_size, type);
        const auto found = images.constFind(key);
        if (found != images.constEnd())
            return *found;
        const QImage image = makeIcon().pixmap(m_size).toImage();
        images.insert(key, image);
        return image;
    }

    // From the last dot of the last component on, as kinds are looked up; empty for a name without one or
    // with only a leading dot. A view into `path`.
    static std::string_view extensionOf(const QByteArray &path) {
        const std::string_view whole(path.constData(), std::size_t(path.size()));
        const std::size_t nameStart = whole.rfind('/') == std::string_view::npos ? 0 : whole.rfind('/') + 1;
        const std::size_t dot = whole.rfind('.');
        if (dot == std::string_view::npos || dot <= nameStart)
            return {};
        return whole.substr(dot);
    }

    int m_size;
    // Views into the paths of the listing being shown, which outlives this.
    std::unordered_map<std::string_view, QImage> m_byExtension;
};

QString rowTitle(const QString &entryName) {
    // A name that would read backwards ("invoice", U+202E, "gnp.exe" shown as "invoiceexe.png") shows its
    // direction controls instead, and with them its true extension.
    const QString name = withVisibleBidiControls(entryName);
    // Cheap test first: a name of at most 40 UTF-16 units has at most 40 characters.
    if (name.size() <= kMaximumTitleLength)
        return name;
    return truncated(kMaximumTitleLength, TruncationPosition::middle, QStringLiteral("…"), name);
}

// Rows hold the entry's path bytes (shared, no copy) and make its URL only when chosen or opened: making
// a file URL per row costs more than listing the entry.
void openEntry(const QByteArray &path, bool isFolder, bool isReadable) {
    const QUrl url = url::fromLocalPath(path, isFolder);
    if (const auto &open = FolderMenuHooks::shared().openEntry) {
        open(url, isFolder, isReadable);
        return;
    }
    UrlOpener::open(url);
}

bool isAccessError(const Error &error) {
    return error.domain() == ErrorDomain::posix && (error.code() == EACCES || error.code() == EPERM);
}

void addListingError(platform::Menu &menu, const QUrl &directory, const FolderListing &listing) {
    const Error &error = *listing.error;
    if (listing.timedOut) {
        // Not a fault of ours to report: the folder's file system stopped answering.
        auto item = menu.addItem(std::make_shared<platform::MenuItem>());
        item->setAttributedTitle(platform::AttributedText(QStringLiteral("Could not read folder.\n\n") +
                                                          wordWrapped(50, error.localizedDescription())));
        item->setEnabled(false);
        return;
    }
    if (isAccessError(error)) {
        addMissingAccessItems(menu, directory);
        return;
    }
    KvApp::reportError(error,
                       {{QStringLiteral("file"), QStringLiteral(__FILE__)}, {QStringLiteral("line"), 270}});
    auto item =
        menu.addItem(std::make_shared<platform::MenuItem>(wordWrapped(40, error.localizedDescription())));
    item->setEnabled(false);
}

void addSubfolderHeader(platform::Menu &menu, const QUrl &directory, const Folder &folder) {
    // A tray host that draws the menu shows every alternate as a row of its own.
    if (const auto tip = addTipItem(menu, QStringLiteral("Tip: Press the Alt key to reveal more actions"),
                                    QStringLiteral("tip_folderMenu_optionModifierToRevealActions"), 1))
        tip->setLeftOutOfExport(true);
    bool addedOpenWith = false;
    if (folder.showOpenWithMenuForFolders) {
        if (const auto &addOpenWith = FolderMenuHooks::shared().addOpenWithItem) {
            addOpenWith(menu, directory);
            addedOpenWith = true;
        }
    }
    addHiddenAlternate(
        menu, QStringLiteral("Copy Path"), [directory] { copyURLToPasteboard(directory); },
        platform::Modifier::option);
    addHiddenAlternate(
        menu, QStringLiteral("Get Info"),
        [directory] {
            if (const auto &showInfo = FolderMenuHooks::shared().showInfo)
                showInfo(directory);
        },
        platform::Modifier::option);
    // No action of its own: a click on it keeps the menu open on its submenu instead of closing it.
    auto sortBy = addHiddenAlternate(menu, QStringLiteral("Sort By"), {}, platform::Modifier::option);
    withSubmenu(*sortBy, [&](KvMenu &submenu) {
        submenu.setItems(buildSortBySubmenu(directory, folder)->takeAllItems());
    });
    if (addedOpenWith)
        menu.addSeparator();
}

std::shared_ptr<platform::Menu> newRowSubmenu() {
    return KvMenu::create();
}

// The submenu of one row, built when it first opens; nothing for rows without one. The submenu itself is
// made only when the presenter first asks for it, so rows never shown cost none.
void setRowSubmenu(platform::MenuItem &item, const FolderEntry &entry, bool showsSubmenus,
                   const std::weak_ptr<FolderController> &weak) {
    if (showsSubmenus && entry.isFolder()) {
        // Listed afresh on every opening, and given back when it closes. A link to a folder is entered
        // through the link, as a file manager does, so its header copies the path the user sees.
        item.setDeferredLazySubmenu(
            &newRowSubmenu, {.build = [weak, path = entry.path]() -> std::shared_ptr<platform::Menu> {
                                 const auto controller = weak.lock();
                                 if (!controller)
                                     return KvMenu::create();
                                 return folderContentsMenu(url::fromLocalPath(path, /*isDirectory=*/true),
                                                           nullptr, controller);
                             },
                             .clearsOnClose = true});
        return;
    }
    if (!entry.isReadable) {
        item.setDeferredLazySubmenu(&newRowSubmenu,
                                    {.build = [path = entry.path, isFolder = entry.isFolder()] {
                                        auto menu = KvMenu::create();
                                        addMissingAccessItems(*menu, url::fromLocalPath(path, isFolder));
                                        return std::shared_ptr<platform::Menu>(std::move(menu));
                                    }});
        return;
    }
    if (!showsSubmenus || entry.type != FolderEntry::Type::regularFile)
        return;
    if (!FolderMenuHooks::shared().fileSubmenu)
        return;
    // The entry's own URL: a link's submenu trashes and copies the link, never the file it points to.
    item.setDeferredLazySubmenu(
        &newRowSubmenu, {.build = [weak, path = entry.path]() -> std::shared_ptr<platform::Menu> {
            const auto controller = weak.lock();
            const auto &fileSubmenu = FolderMenuHooks::shared().fileSubmenu;
            if (!controller || !fileSubmenu)
                return KvMenu::create();
            return fileSubmenu(url::fromLocalPath(path, /*isDirectory=*/false), controller);
        }});
}

// The rows of a listing, each made when a presenter first shows it (or a tray host asks for every row):
// opening a folder of any size makes only the rows on screen. The listing is the source's, and is freed
// off the main thread with it.
class FolderRows final : public platform::MenuRowSource {
public:
    FolderRows(std::vector<FolderEntry> entries, std::vector<std::size_t> longest,
               std::optional<int> iconSize, bool showsSubmenus,
               const std::weak_ptr<FolderController> &controller)
        : m_entries(std::move(entries))
        , m_longestNames(std::move(longest))
        , m_showsSubmenus(showsSubmenus)
        , m_controller(controller) {
        if (iconSize)
            m_icons.emplace(*iconSize);
    }

    ~FolderRows() override {
        // Tens of thousands of names and paths take milliseconds to free. The icons' cache keys point into
        // the paths, so it goes first.
        m_icons.reset();
        releaseListingElsewhere(std::move(m_entries));
    }

    std::size_t count() const override { return m_entries.size(); }

    QString title(std::size_t index) const override { return rowTitle(m_entries[index].name); }

    std::shared_ptr<platform::MenuItem> makeItem(std::size_t index) const override {
        const FolderEntry &entry = m_entries[index];
        // Titled with the entry's own name (forty links to one file are forty rows, each with its name);
        // choosing it opens what it stands for.
        // Not made with make_shared: the menu and a tray host's ids keep weak references to the rows they
        // saw, which would keep a whole row's memory for each row that went, tens of thousands of them.
        const std::shared_ptr<CallbackMenuItem> item(
            new CallbackMenuItem(rowTitle(entry.name),
                                 [path = entry.resolvedPath, isFolder = entry.isFolder(),
                                  isReadable = entry.isReadable] { openEntry(path, isFolder, isReadable); }));
        if (m_icons)
            item->setImage(m_icons->icon(entry));
        if (!entry.isReadable)
            item->setAttributedTitle(
                platform::AttributedText(item->title(), {.color = platform::TextColor::secondaryLabel()}));
        setRowSubmenu(*item, entry, m_showsSubmenus, m_controller);
        return item;
    }

    std::vector<std::size_t> widestCandidates(std::size_t count) const override {
        // Titles are cut at a fixed length, so the longest names are the candidates whichever way they
        // are cut. Found while listing, unless the menu left some of them out.
        if (m_longestNames.size() < count && m_longestNames.size() < m_entries.size())
            return longestNames(m_entries, count);
        return {m_longestNames.begin(),
                m_longestNames.begin() + std::ptrdiff_t(std::min(count, m_longestNames.size()))};
    }

private:
    std::vector<FolderEntry> m_entries;
    std::vector<std::size_t> m_longestNames;
    mutable std::optional<RowIcons> m_icons;
    bool m_showsSubmenus;
    std::weak_ptr<FolderController> m_controller;
};

void addExcludedSummary(platform::Menu &menu, std::size_t excludedCount, const QUrl &directory) {
    menu.addSeparator();
    auto item = addCallbackItem(menu, QString(), [directory] { UrlOpener::open(directory); });
    platform::AttributedText title(QString::number(excludedCount) + QStringLiteral(" Excluded ") +
                                   (excludedCount == 1 ? QStringLiteral("Item") : QStringLiteral("Items")));
    setFontSize(title, smallSystemFontSize());
    item->setAttributedTitle(withColor(title, platform::TextColor::secondaryLabel()));
}

} // namespace

FolderListingRequest folderListingRequest(const QUrl &directory, const Folder &folder, bool isTopLevel) {
    const Folder::SortOrder order = storedSubfolderSortOrder(directory).value_or(folder.sortOrder);
    return {.directory = directory,
            .options = {.sortOrder = order,
                        .showHiddenItems = folder.showHiddenItems,
                        .prefetchIcons = isTopLevel && folder.effectiveItemLimit().has_value()},
            .keepFoldersOnTop = folder.keepFoldersOnTop};
}

namespace {

// Adds the rows of `listing`, the listing of `directory`, to `menu`.
void addFolderContents(const QUrl &directory, platform::Menu &menu, bool isTopLevel,
                       const std::shared_ptr<FolderController> &controller, FolderListing listing) {
    const Folder folder = controller->folder();
    // A subfolder never applies the limit.
    std::optional<std::int64_t> itemLimit;
    if (isTopLevel)
        itemLimit = folder.effectiveItemLimit();
    if (listing.error) {
        addListingError(menu, directory, listing);
        // The folder itself is gone or is no folder any more (a file, a pipe, a device in its place):
        // nothing but removing it helps. A slow disk or missing permissions are explained above instead.
        if (isTopLevel && !listing.timedOut && !isAccessError(*listing.error))
            controller->addRemoveFolderItem(menu);
        return;
    }
    std::vector<FolderEntry> &entries = listing.entries;

    std::size_t excludedCount = 0;
    if (itemLimit) {
        const std::size_t limit = std::size_t(std::max<std::int64_t>(0, *itemLimit));
        if (limit < entries.size()) {
            excludedCount = entries.size() - limit;
            entries.resize(limit);
        }
    }
    if (entries.empty()) {
        menu.addItem(std::make_shared<platform::MenuItem>(QStringLiteral("Empty")))->setEnabled(false);
        return;
    }
    if (!isTopLevel)
        addSubfolderHeader(menu, directory, folder);

    std::optional<int> iconSize;
    if (Defaults::get(Defaults::Keys::showIconsInMenu()))
        iconSize = iconPointSize(folder.fileIconSize);
    // Those the limit left out are no candidates.
    std::erase_if(listing.longestNames, [&](std::size_t index) { return index >= entries.size(); });
    menu.addRows(std::make_shared<FolderRows>(std::move(entries), std::move(listing.longestNames), iconSize,
                                              Defaults::get(Defaults::Keys::showFileAndDirectorySubmenu()),
                                              controller));

    if (excludedCount > 0)
        addExcludedSummary(menu, excludedCount, directory);
    menu.addSeparator();
    // In a tray host's drawing a click on such a row opens its submenu, whose first row opens it.
    if (const auto tip = addTipItem(menu, QStringLiteral("Tip: Click a file or folder above to open it."),
                                    QStringLiteral("tip_folderMenu_clickToOpen"), 1))
        tip->setLeftOutOfExport(true);
}

} // namespace

std::shared_ptr<platform::Menu> folderContentsMenu(const QUrl &directory, platform::Menu *menu,
                                                   const std::shared_ptr<FolderController> &controller) {
    std::shared_ptr<platform::Menu> created;
    if (!menu) {
        created = KvMenu::create();
        menu = created.get();
    }
    const bool isTopLevel = !created;
    const Folder folder = controller->folder();

    // Listed and sorted off the main thread, and never waited for there: a menu whose listing has not
    // ended is marked awaiting its rows, and whoever shows it takes them once they are there. A stalled
    // mount shows why after the time limit.
    std::optional<FolderListing> prepared;
    if (isTopLevel)
        prepared = controller->takePreparedListing(directory);
    if (!prepared) {
        prepared = FolderContentsLoader::listOrNotify(
            folderListingRequest(directory, folder, isTopLevel),
            [directory, target = menu, alive = menu->lifetime(), isTopLevel,
             weak = std::weak_ptr(controller)](FolderListing listing) {
                if (alive.expired() || !target->isAwaitingContents()) {
                    releaseListingElsewhere(std::move(listing.entries));
                    return;
                }
                if (const auto controller = weak.lock())
                    addFolderContents(directory, *target, isTopLevel, controller, std::move(listing));
                target->setAwaitingContents(false);
            });
        if (!prepared) {
            menu->setAwaitingContents(true);
            return created;
        }
    }
    addFolderContents(directory, *menu, isTopLevel, controller, std::move(*prepared));
    return created;
}

} // namespace kestrova

#include "FileActions.h"

#include "FileDetails.h"
#include "FolderController.h"
#include "FolderMenuHooks.h"
#include "FolderMenuItems_p.h"

#include "foundation/AlertBuilder.h"
#include "foundation/Error.h"
#include "foundation/ErrorPresentation.h"
#include "foundation/KvApp.h"
#include "foundation/PasteboardURL.h"
#include "foundation/TextFormatting.h"
#include "foundation/Workspace.h"
#include "platform/Alert.h"
#include "platform/AttributedText.h"
#include "platform/KeyboardState.h"
#include "platform/Menu.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"
#include "ui-kit/menus/CallbackMenuItem.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/menus/MenuBuilding.h"
#include "ui-kit/menus/OpenWithMenu.h"
#include "ui-kit/menus/ShareMenu.h"
#include "ui-kit/utilities/AttributedTextHelpers.h"
#include "ui-kit/utilities/MenuText.h"
#include "ui-kit/utilities/SystemServices.h"
#include "views/FileRows.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>

namespace kestrova {

namespace {

const QString kFileActionsDomain = QStringLiteral("Kestrova.FileActions");

// Failures are presented; a success that came with a note (the folder opened instead of the item
// selected) tells the user too.
void presentResult(const platform::WorkspaceResult &result) {
    if (result.message.isEmpty())
        return;
    presentAsModal(Error(kFileActionsDomain, result.succeeded ? 0 : 1,
                         {{ErrorKey::localizedDescription, result.message}}));
}

// The modifier keys held right now, without the bits that never make a difference: device-dependent
// ones, Caps Lock, the numeric pad and the function key.
quint64 significantModifiers() {
    using namespace platform::ModifierFlag;
    return platform::KeyboardState::shared().modifiersHeldAtLaunch() & deviceIndependentFlagsMask &
           ~(capsLock | numericPad | function);
}

// The item itself when its link target cannot be resolved.
QUrl resolvedURL(const QUrl &url) {
    const QString canonical = QFileInfo(url.toLocalFile()).canonicalFilePath();
    return canonical.isEmpty() ? url : QUrl::fromLocalFile(canonical);
}

void revealOrOpen(const QUrl &url) {
    auto &workspace = platform::Workspace::shared();
    if (QFileInfo(url.toLocalFile()).isSymLink() ||
        significantModifiers() == platform::ModifierFlag::option) {
        presentResult(workspace.reveal(resolvedURL(url)));
        return;
    }
    presentResult(workspace.open(url));
}

void writeToPasteboard(platform::PasteboardItem item) {
    item.setString(KvApp::id(), QString::fromLatin1(platform::PasteboardType::source));
    auto &pasteboard = platform::Pasteboard::general();
    pasteboard.clearContents();
    pasteboard.writeObjects({item});
}

void copyFile(const QUrl &url) {
    platform::PasteboardItem item;
    setURL(item, url);
    // File managers paste files from this type, not from the URI list.
    item.setData("copy\n" + url.toEncoded(), QStringLiteral("x-special/gnome-copied-files"));
    writeToPasteboard(std::move(item));
}

void copyPath(const QUrl &url) {
    platform::PasteboardItem item;
    item.setString(url.toLocalFile(), QString::fromLatin1(platform::PasteboardType::string));
    writeToPasteboard(std::move(item));
}

void copyDimensions(const QSize &dimensions) {
    platform::PasteboardItem item;
    item.setString(formattedDimensions(QSizeF(dimensions)),
                   QString::fromLatin1(platform::PasteboardType::string));
    writeToPasteboard(std::move(item));
}

void addDisabledText(platform::Menu &menu, const QString &text) {
    menu.addItem(std::make_shared<platform::MenuItem>(wordWrapped(50, text)))->setEnabled(false);
}

void setSmallTitle(platform::MenuItem &item) {
    platform::AttributedText title(item.title());
    setFontSize(title, smallSystemFontSize());
    item.setAttributedTitle(title);
}

// The preview, the information rows and "Copy Dimensions", all fed by one reading of the file off the main
// thread. "Copy Dimensions" stays hidden until the pixel size is known.
void addPreviewAndInfoRows(platform::Menu &menu, const QUrl &url,
                           const std::shared_ptr<FolderController> &controller) {
    const auto details = FileDetails::load(url);
    std::optional<platform::Binding<bool>> isMenuOpen;
    if (controller) {
        const std::weak_ptr<FolderController> weak = controller;
        isMenuOpen = platform::Binding<bool>(
            [weak] {
                const auto strong = weak.lock();
                return strong && strong->isMenuOpen();
            },
            [weak](const bool &isOpen) {
                if (const auto strong = weak.lock())
                    strong->setMenuOpen(isOpen);
            });
    }
    setPreviewRowView(*menu.addItem(std::make_shared<platform::MenuItem>()), details, isMenuOpen);
    menu.addSeparator();
    setFileInfo1View(*menu.addItem(std::make_shared<platform::MenuItem>()), details);
    auto copy = addHiddenAlternate(
        menu, QStringLiteral("Copy Dimensions"),
        [details] {
            if (details->facts() && details->facts()->dimensions)
                copyDimensions(*details->facts()->dimensions);
        },
        platform::Modifier::option);
    setSmallTitle(*copy);
    copy->setHidden(true);
    QObject::connect(details.get(), &FileDetails::changed, details.get(),
                     [raw = details.get(), weakItem = std::weak_ptr(copy)] {
                         if (const auto item = weakItem.lock())
                             item->setHidden(!raw->facts() || !raw->facts()->dimensions);
                     });
    menu.addSeparator();
    setFileInfo2View(*menu.addItem(std::make_shared<platform::MenuItem>()), details);
}

} // namespace

void openFileEntry(const QUrl &url, bool isFolder, bool isReadable) {
    const QFileInfo info(url.toLocalFile());
    if (!isReadable && info.suffix() != QStringLiteral("photoslibrary")) {
        auto alert =
            makeAlert({.title = QStringLiteral("Missing access"),
                       .message = QStringLiteral("You can grant access in the submenu of this item.")});
        platform::AlertPresenter::shared().runModal(alert);
        return;
    }
    if (isFolder) {
        presentResult(platform::Workspace::shared().open(url));
        return;
    }
    revealOrOpen(url);
}

void showMoreInfo(const QUrl &url) {
    try {
        SystemServices::performService(QStringLiteral("Finder/Show Info"), {url});
    } catch (const Error &error) {
        presentAsModal(error);
    }
}

std::shared_ptr<platform::Menu> fileSubmenu(const QUrl &url,
                                            const std::shared_ptr<FolderController> &controller) {
    auto menu = KvMenu::create();
    addTipItem(
        *menu,
        QStringLiteral("Tips:\n- Press the Alt key to reveal more actions.\n- You can drag & drop the "
                       "file by dragging the below thumbnail."),
        QStringLiteral("tip_previewMenu_pressOptionKey6"), 1);
    menu->addSeparator();
    if (const auto &addOpenWith = FolderMenuHooks::shared().addOpenWithItem)
        addOpenWith(*menu, url);
    addCallbackItem(*menu, QStringLiteral("Show in File Manager"), [url] {
        const QFileInfo info(url.toLocalFile());
        if (info.isDir())
            presentResult(platform::Workspace::shared().open(url));
        else
            presentResult(platform::Workspace::shared().reveal(resolvedURL(url)));
    });
    menu->addSeparator();
    addCallbackItem(*menu, QStringLiteral("Move to Trash"),
                    [url] { presentResult(platform::Workspace::shared().moveToTrash(url)); });
    menu->addSeparator();
    addCallbackItem(*menu, QStringLiteral("Copy"), [url] { copyFile(url); });
    auto copyPathItem = addCallbackItem(*menu, QStringLiteral("Copy Path"), [url] { copyPath(url); });
    copyPathItem->setAlternate(true);
    copyPathItem->setKeyEquivalentModifierMask(platform::Modifier::option);
    addShareItem(*menu, {url});
    menu->addSeparator();
    addPreviewAndInfoRows(*menu, url, controller);
    auto moreInfo = addHiddenAlternate(
        *menu, QStringLiteral("Show More Info"), [url] { showMoreInfo(url); }, platform::Modifier::option);
    setSmallTitle(*moreInfo);
    return menu;
}

void addMissingAccessHelp(platform::Menu &menu) {
    auto header = std::make_shared<platform::MenuItem>(QStringLiteral("Missing Access to This Folder"));
    platform::AttributedText bold(header->title());
    bold.setFont(boldFont(QGuiApplication::font()));
    header->setAttributedTitle(bold);
    header->setEnabled(false);
    menu.addItem(header);
    menu.addSeparator();
    addDisabledText(menu, QStringLiteral("First, make sure you may read this folder: its owner, group and "
                                         "permission bits decide who can list it. Some folders are "
                                         "protected.\n\nClick the below button to see how file access "
                                         "works on this system.\n"));
    addCallbackItem(menu, QStringLiteral("Show How File Access Works"), [] {
        QTimer::singleShot(0, qApp, [] { workspace::openFilesAndFoldersPrivacySettings(); });
    });
    menu.addSeparator();
    addDisabledText(menu,
                    QStringLiteral("\nIf the above did not solve the permission issue. Try the below.\n"));
    menu.addSeparator();
    addDisabledText(menu,
                    QStringLiteral("The folder might be a symbolic link that points to a location that ") +
                        KvApp::name() + QStringLiteral(" does not have access to.\n"));
    addCallbackItem(menu, QStringLiteral("Grant Access…"), [] { requestRootPermission(); });
}

void installFileActions() {
    auto hooks = FolderMenuHooks::shared();
    hooks.openEntry = openFileEntry;
    hooks.fileSubmenu = fileSubmenu;
    hooks.showInfo = showMoreInfo;
    hooks.addMissingAccessItems = addMissingAccessHelp;
    hooks.addOpenWithItem = [](platform::Menu &menu, const QUrl &url) { addOpenWithItem(menu, url); };
    FolderMenuHooks::setShared(std::move(hooks));
}

} // namespace kestrova

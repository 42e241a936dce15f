#include "FileActions.h"

#include "FileAccess.h"
#include "FileDetails.h"
#include "FolderController.h"
#include "FolderMenuHooks.h"
#include "FolderMenuItems_p.h"

#include "foundation/errors/AlertBuilder.h"
#include "foundation/errors/Error.h"
#include "foundation/errors/ErrorPresentation.h"
#include "foundation/files/FileUrl.h"
#include "foundation/app/KvApp.h"
#include "foundation/workspace/PasteboardURL.h"
#include "foundation/files/ResourceValues.h"
#include "foundation/text/TextFormatting.h"
#include "platform/alerts/Alert.h"
#include "platform/menus/AttributedText.h"
#include "platform/input/KeyboardState.h"
#include "platform/menus/Menu.h"
#include "platform/workspace/Pasteboard.h"
#include "platform/workspace/Workspace.h"
#include "ui-kit/menus/CallbackMenuItem.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/menus/MenuBuilding.h"
#include "ui-kit/menus/OpenWithMenu.h"
#include "ui-kit/menus/ShareMenu.h"
#include "ui-kit/utilities/AttributedTextHelpers.h"
#include "ui-kit/utilities/MenuText.h"
#include "ui-kit/utilities/SystemServices.h"
#include "menubar/views/FileRows.h"

#include <QGuiApplication>

#include <cstdlib>

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

// What a symbolic link points to, every link resolved, from the path's bytes; the item itself when it is no
// link or its target cannot be resolved.
QUrl resolvedURL(const QUrl &url) {
    const QByteArray path = url::localPath(url);
    char *resolved = path.isEmpty() ? nullptr : realpath(path.constData(), nullptr);
    if (!resolved)
        return url;
    const QByteArray target(resolved);
    std::free(resolved);
    if (target == path)
        return url;
    return url::fromLocalPath(target, url::isFolder(url::fromLocalPath(target)));
}

void revealOrOpen(const QUrl &url) {
    auto &workspace = platform::Workspace::shared();
    if (url::isAlias(url) || significantModifiers() == platform::ModifierFlag::option) {
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
    setFilePath(item, url);
    writeToPasteboard(std::move(item));
}

void copyDimensions(const QSize &dimensions) {
    platform::PasteboardItem item;
    item.setString(formattedDimensions(QSizeF(dimensions)),
                   QString::fromLatin1(platform::PasteboardType::string));
    writeToPasteboard(std::move(item));
}

// Wrapped at 50 columns line by line: wrapping counts a line feed as part of a word, so a text of several
// lines wrapped whole breaks its lines at the wrong places.
void addDisabledText(platform::Menu &menu, const QString &text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = wordWrapped(50, line);
    menu.addItem(std::make_shared<platform::MenuItem>(lines.join(QLatin1Char('\n'))))->setEnabled(false);
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
    if (!isReadable && !url::localPath(url).endsWith(".photoslibrary")) {
        auto alert = makeAlert({.title = QStringLiteral("Missing access"),
                                .message = QStringLiteral("The submenu of this item shows what keeps ") +
                                           KvApp::name() +
                                           QStringLiteral(" from reading it and how to change that.")});
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
    // A symbolic link is the entry the user sees: it is what "Move to Trash", "Copy" and "Copy Path" act
    // on, so that a folder of links never trashes the originals. Opening, showing and describing it follow
    // it to the file it stands for.
    const QUrl target = resolvedURL(url);
    auto menu = KvMenu::create();
    // Neither holds in a tray host's drawing: it shows every alternate as a row, and no thumbnail to drag.
    if (const auto tip = addTipItem(
            *menu,
            QStringLiteral("Tips:\n- Press the Alt key to reveal more actions.\n- You can drag & drop the "
                           "file by dragging the below thumbnail."),
            QStringLiteral("tip_previewMenu_pressOptionKey6"), 1))
        tip->setLeftOutOfExport(true);
    menu->addSeparator();
    if (const auto &addOpenWith = FolderMenuHooks::shared().addOpenWithItem)
        addOpenWith(*menu, target);
    addCallbackItem(*menu, QStringLiteral("Show in File Manager"), [target] {
        if (url::isFolder(target))
            presentResult(platform::Workspace::shared().open(target));
        else
            presentResult(platform::Workspace::shared().reveal(target));
    });
    menu->addSeparator();
    addCallbackItem(*menu, QStringLiteral("Move to Trash"),
                    [url] { presentResult(platform::Workspace::shared().moveToTrash(url)); });
    menu->addSeparator();
    addCallbackItem(*menu, QStringLiteral("Copy"), [url] { copyFile(url); });
    auto copyPathItem = addCallbackItem(*menu, QStringLiteral("Copy Path"), [url] { copyPath(url); });
    copyPathItem->setAlternate(true);
    copyPathItem->setKeyEquivalentModifierMask(platform::Modifier::option);
    addShareItem(*menu, {target});
    menu->addSeparator();
    addPreviewAndInfoRows(*menu, target, controller);
    auto moreInfo = addHiddenAlternate(
        *menu, QStringLiteral("Show More Info"), [target] { showMoreInfo(target); },
        platform::Modifier::option);
    setSmallTitle(*moreInfo);
    return menu;
}

void addMissingAccessHelp(platform::Menu &menu, const QUrl &url, const FileAccess &access) {
    auto header = std::make_shared<platform::MenuItem>(missingAccessTitle(url));
    platform::AttributedText bold(header->title());
    bold.setFont(boldFont(QGuiApplication::font()));
    header->setAttributedTitle(bold);
    header->setEnabled(false);
    menu.addItem(header);
    menu.addSeparator();
    const AccessHelp help = accessHelp(url::localPath(url), access);
    for (const QString &paragraph : help.explanation)
        addDisabledText(menu, paragraph);
    if (!help.command.isEmpty())
        menu.addItem(std::make_shared<platform::MenuItem>(help.command))->setEnabled(false);
    if (help.propertiesUrl) {
        addCallbackItem(menu, QStringLiteral("Show Properties in File Manager"),
                        [properties = *help.propertiesUrl] { showMoreInfo(properties); });
    }
}

void installFileActions() {
    auto hooks = FolderMenuHooks::shared();
    hooks.openEntry = openFileEntry;
    hooks.fileSubmenu = fileSubmenu;
    hooks.showInfo = showMoreInfo;
    hooks.addMissingAccessItems = [](platform::Menu &menu, const QUrl &url) {
        addMissingAccessHelp(menu, url, FileAccess());
    };
    hooks.addOpenWithItem = [](platform::Menu &menu, const QUrl &url) { addOpenWithItem(menu, url); };
    FolderMenuHooks::setShared(std::move(hooks));
}

} // namespace kestrova

#pragma once

#include "ArchivedValueCoding.h"
#include "MenuBarItemIcon.h"
#include "MenuBarItemImage.h"
#include "RawTextEnum.h"
#include "SandboxURLBookmark.h"
#include "Shortkeel.h"

#include "foundation/json/DecodableDefault.h"
#include "foundation/json/JsonCoding.h"
#include "platform/values/Color.h"
#include "platform/values/Image.h"

#include <QString>
#include <QUrl>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrova {

// One folder the user put into the menu bar: which folder (its bookmark), how its status item looks and how
// its menu lists the folder. All folders are one list under the settings key "folders", in status-item order,
// one JSON text per folder. Reading is tolerant: a missing or null member of a newer kind reads as its
// default and unknown members are kept aside and written back, while a member of the wrong kind fails the
// record, which is then left out of the list (its stored text stays until the list is next written).
struct Folder {
    enum class MenuBarItemStyle { icon, title, iconAndTitle };
    enum class FileIconSize { small, medium, large };
    // Name, kind and tags sort ascending, the four dates newest first.
    enum class SortOrder { name, dateAdded, dateModified, dateCreated, dateAccessed, kind, tags };

    QUuid id;
    SandboxURLBookmark urlBookmark;
    std::optional<QString> customTitle;
    std::optional<QString> customIconName;
    MenuBarItemStyle menuBarItemStyle = MenuBarItemStyle::icon;
    bool showTitleInMenu = true;
    FileIconSize fileIconSize = FileIconSize::small;
    SortOrder sortOrder = SortOrder::name;
    bool keepFoldersOnTop = true;
    bool isVisible = true;
    // Use effectiveItemLimit() to list: a stored limit may be negative.
    std::optional<std::int64_t> itemLimit;
    bool showHiddenItems = false;
    MenuBarItemIcon::Kind iconType = MenuBarItemIcon::Kind::symbol;
    std::optional<platform::Color> lightColor;
    std::optional<platform::Color> darkColor;
    std::optional<platform::Image> userSuppliedIcon;
    bool isUserSuppliedIconTemplate = true;
    bool showOpenWithMenuForFolders = false;
    // Members this version does not know (a newer version wrote them), kept as read so that rewriting the
    // record, as any change to any folder does, never drops them.
    Json otherMembers = Json::object();

    Folder() = default;
    Folder(QUuid folderId, SandboxURLBookmark bookmark)
        : id(folderId)
        , urlBookmark(std::move(bookmark)) {}

    // The most entries to list: nothing for no limit, never below 0.
    std::optional<std::int64_t> effectiveItemLimit() const;

    Json toJson() const;
    // Throws when a required member is missing or any member has the wrong kind.
    static Folder fromJson(const Json &json);
    // The folders of a stored list of JSON texts, unreadable entries left out; nothing when nothing is stored
    // or the stored value is not a list.
    static std::optional<std::vector<Folder>>
    decodeFolderList(const std::optional<platform::PropertyListValue> &stored);

    bool operator==(const Folder &) const = default;

    // --- What is shown (derived from the stored choices; resolves the bookmark on every call) ------------

    // The resolved folder, else the URL the bookmark was made from; nothing when neither is known.
    std::optional<QUrl> location() const;
    // The custom title unless blank, else the fallback title, else "<Unknown Title>".
    QString title() const;
    // "Apps" for the applications folder, else the folder's name; nothing without a location.
    std::optional<QString> fallbackTitle() const;
    // The custom symbol unless blank, else the default symbol, else "folder.fill".
    QString iconName() const;
    // The symbol for the folder's location (see defaultIconName(const QUrl &)); nothing without a location.
    std::optional<QString> defaultIconName() const;
    // The symbol of a well-known folder ("house.fill" for home, …), "folder.fill" for any other.
    static QString defaultIconName(const QUrl &location);
    // The status item's image; the folder's colours are applied by the status item, not here.
    MenuBarItemImage nsImage() const;

    static bool showsTitle(MenuBarItemStyle style) { return style != MenuBarItemStyle::icon; }
    static bool showsIcon(MenuBarItemStyle style) { return style != MenuBarItemStyle::title; }

    // --- Operations over all stored folders (main thread) ------------------------------------------------

    // The resolved URL of every stored folder, in list order; folders that do not resolve are left out.
    static std::vector<QUrl> allURLs();
    // Starts (stops) access to every stored folder and to the root folder's bookmark, when one is stored.
    static void startAccessingSecurityScopedResources();
    static void stopAccessingSecurityScopedResources();
    // The name the folder's global shortcut is stored under: its id in canonical text.
    Shortkeel::Name shortcutName() const;
    // Registers (true) or unregisters every folder's stored shortcut as a global hot key.
    static void setAllShortcutsEnabled(bool enabled);
    // Resets the folder's shortcut and removes the folder from the stored list.
    void remove() const;
};

template <> struct RawTextCases<Folder::MenuBarItemStyle> {
    static constexpr std::array cases{std::pair{Folder::MenuBarItemStyle::icon, "icon"},
                                      std::pair{Folder::MenuBarItemStyle::title, "title"},
                                      std::pair{Folder::MenuBarItemStyle::iconAndTitle, "iconAndTitle"}};
};
template <> struct RawTextCases<Folder::FileIconSize> {
    static constexpr std::array cases{std::pair{Folder::FileIconSize::small, "small"},
                                      std::pair{Folder::FileIconSize::medium, "medium"},
                                      std::pair{Folder::FileIconSize::large, "large"}};
};
template <> struct RawTextCases<Folder::SortOrder> {
    static constexpr std::array cases{std::pair{Folder::SortOrder::name, "name"},
                                      std::pair{Folder::SortOrder::dateAdded, "dateAdded"},
                                      std::pair{Folder::SortOrder::dateModified, "dateModified"},
                                      std::pair{Folder::SortOrder::dateCreated, "dateCreated"},
                                      std::pair{Folder::SortOrder::dateAccessed, "dateAccessed"},
                                      std::pair{Folder::SortOrder::kind, "kind"},
                                      std::pair{Folder::SortOrder::tags, "tags"}};
};

// True when the text is empty or only white space (line breaks included).
bool isEmptyOrWhitespace(const QString &text);

namespace Defaults {
template <> struct Serializable<Folder> : CodableSerializable<Folder> {};
} // namespace Defaults

} // namespace kestrova

template <> struct std::hash<kestrova::Folder> {
    std::size_t operator()(const kestrova::Folder &folder) const;
};

#include "Folder.h"

#include "AccessRequest_p.h"

#include "foundation/files/FileUrl.h"
#include "foundation/values/HashCombine.h"
#include "foundation/files/WellKnownFolders.h"
#include "foundation/text/VisibleBidiControls.h"
#include "platform/status/SymbolImage.h"

#include <algorithm>
#include <array>

namespace kestrova {

namespace {

QUuid decodeId(const Json &json) {
    const QString text = fromJson<QString>(json);
    const QUuid id = QUuid::fromString(text);
    if (text.size() != 36 || (id.isNull() && text != QStringLiteral("00000000-0000-0000-0000-000000000000")))
        throw DecodingError::dataCorrupted(
            {QStringLiteral("id")}, QStringLiteral("Attempted to decode UUID from invalid UUID string."));
    return id;
}

template <typename T> void putIfPresent(Json &json, const char *key, const std::optional<T> &value) {
    if (value)
        json[key] = toJson(*value);
}

template <typename T> std::optional<T> optionalMember(const Json &json, const char *key) {
    return decodeOrDefault<std::optional<T>>(json, key, std::nullopt);
}

} // namespace

std::optional<std::int64_t> Folder::effectiveItemLimit() const {
    if (!itemLimit)
        return std::nullopt;
    return std::max<std::int64_t>(*itemLimit, 0);
}

Json Folder::toJson() const {
    Json json = Json::object();
    json["id"] = Defaults::Serializable<QUuid>::canonicalText(id).toStdString();
    json["urlBookmark"] = urlBookmark.toJson();
    putIfPresent(json, "customTitle", customTitle);
    putIfPresent(json, "customIconName", customIconName);
    json["menuBarItemStyle"] = kestrova::toJson(menuBarItemStyle);
    json["showTitleInMenu"] = showTitleInMenu;
    json["fileIconSize"] = kestrova::toJson(fileIconSize);
    json["sortOrder"] = kestrova::toJson(sortOrder);
    json["keepFoldersOnTop"] = keepFoldersOnTop;
    json["isVisible"] = isVisible;
    putIfPresent(json, "itemLimit", itemLimit);
    json["showHiddenItems"] = showHiddenItems;
    json["iconType"] = kestrova::toJson(iconType);
    putIfPresent(json, "lightColor", lightColor);
    putIfPresent(json, "darkColor", darkColor);
    putIfPresent(json, "userSuppliedIcon", userSuppliedIcon);
    json["isUserSuppliedIconTemplate"] = isUserSuppliedIconTemplate;
    json["showOpenWithMenuForFolders"] = showOpenWithMenuForFolders;
    for (const auto &[key, value] : otherMembers.items()) {
        if (!json.contains(key))
            json[key] = value;
    }
    return json;
}

Folder Folder::fromJson(const Json &json) {
    requireJsonObject(json);
    Folder folder;
    folder.id = decodeId(requiredMember(json, "id"));
    folder.urlBookmark = SandboxURLBookmark::fromJson(requiredMember(json, "urlBookmark"));
    folder.customTitle = optionalMember<QString>(json, "customTitle");
    folder.customIconName = optionalMember<QString>(json, "customIconName");
    folder.menuBarItemStyle = kestrova::fromJson<MenuBarItemStyle>(requiredMember(json, "menuBarItemStyle"));
    folder.showTitleInMenu = kestrova::fromJson<bool>(requiredMember(json, "showTitleInMenu"));
    folder.fileIconSize = kestrova::fromJson<FileIconSize>(requiredMember(json, "fileIconSize"));
    folder.sortOrder = kestrova::fromJson<SortOrder>(requiredMember(json, "sortOrder"));
    folder.keepFoldersOnTop = kestrova::fromJson<bool>(requiredMember(json, "keepFoldersOnTop"));
    folder.isVisible = decodeOrDefault(json, "isVisible", true);
    folder.itemLimit = optionalMember<std::int64_t>(json, "itemLimit");
    folder.showHiddenItems = decodeOrDefault(json, "showHiddenItems", false);
    folder.iconType = decodeOrDefault(json, "iconType", MenuBarItemIcon::Kind::symbol);
    folder.lightColor = optionalMember<platform::Color>(json, "lightColor");
    folder.darkColor = optionalMember<platform::Color>(json, "darkColor");
    folder.userSuppliedIcon = optionalMember<platform::Image>(json, "userSuppliedIcon");
    folder.isUserSuppliedIconTemplate = decodeOrDefault(json, "isUserSuppliedIconTemplate", true);
    folder.showOpenWithMenuForFolders = decodeOrDefault(json, "showOpenWithMenuForFolders", false);
    static constexpr std::array kKnownMembers{"id",
                                              "urlBookmark",
                                              "customTitle",
                                              "customIconName",
                                              "menuBarItemStyle",
                                              "showTitleInMenu",
                                              "fileIconSize",
                                              "sortOrder",
                                              "keepFoldersOnTop",
                                              "isVisible",
                                              "itemLimit",
                                              "showHiddenItems",
                                              "iconType",
                                              "lightColor",
                                              "darkColor",
                                              "userSuppliedIcon",
                                              "isUserSuppliedIconTemplate",
                                              "showOpenWithMenuForFolders"};
    for (const auto &[key, value] : json.items()) {
        if (std::find(kKnownMembers.begin(), kKnownMembers.end(), key) == kKnownMembers.end())
            folder.otherMembers[key] = value;
    }
    return folder;
}

std::optional<std::vector<Folder>>
Folder::decodeFolderList(const std::optional<platform::PropertyListValue> &stored) {
    if (!stored)
        return std::nullopt;
    return Defaults::valueFromStored<std::vector<Folder>>(*stored);
}

// --- What is shown -----------------------------------------------------------------------------------------

bool isEmptyOrWhitespace(const QString &text) {
    return std::all_of(text.begin(), text.end(), [](QChar character) { return character.isSpace(); });
}

std::optional<QUrl> Folder::location() const {
    if (auto resolved = urlBookmark.url())
        return resolved;
    return urlBookmark.originalURL();
}

QString Folder::title() const {
    if (customTitle && !isEmptyOrWhitespace(*customTitle))
        return *customTitle;
    return fallbackTitle().value_or(QStringLiteral("<Unknown Title>"));
}

std::optional<QString> Folder::fallbackTitle() const {
    const auto folderLocation = location();
    if (!folderLocation)
        return std::nullopt;
    if (*folderLocation == url::applicationsDirectory())
        return QStringLiteral("Apps");
    // Folders carry no separate display name here: the user's named folders already have their localized
    // names on disk.
    return withVisibleBidiControls(accessrequest::lastPathComponent(*folderLocation));
}

QString Folder::iconName() const {
    if (customIconName && !isEmptyOrWhitespace(*customIconName))
        return *customIconName;
    return defaultIconName().value_or(QStringLiteral("folder.fill"));
}

std::optional<QString> Folder::defaultIconName() const {
    const auto folderLocation = location();
    if (!folderLocation)
        return std::nullopt;
    return defaultIconName(*folderLocation);
}

QString Folder::defaultIconName(const QUrl &folderLocation) {
    const QUrl home = url::realHomeDirectory();
    const auto inHome = [&home](const char *name) {
        return url::appendingPathComponent(home, QString::fromLatin1(name), /*isDirectory=*/true);
    };
    const std::pair<std::vector<QUrl>, const char *> table[] = {
        {{home}, "house.fill"},
        {{url::desktopDirectory()}, "menubar.dock.rectangle"},
        {{url::downloadsDirectory()}, "arrow.down.circle"},
        {{url::documentsDirectory()}, "doc.fill"},
        {{url::picturesDirectory()}, "photo"},
        {{url::moviesDirectory()}, "film"},
        {{url::musicDirectory()}, "music.note"},
        {{url::sharedPublicDirectory()}, "folder.fill.badge.person.crop"},
        {{url::applicationsDirectory(), url::userApplicationsDirectory()}, "app"},
        {{inHome("Developer"), inHome("Dev"), inHome("dev")}, "hammer.fill"},
        {{inHome("Dropbox")}, "shippingbox.fill"},
    };
    for (const auto &[locations, symbol] : table)
        if (std::find(locations.begin(), locations.end(), folderLocation) != locations.end())
            return QString::fromLatin1(symbol);
    return QStringLiteral("folder.fill");
}

MenuBarItemImage Folder::nsImage() const {
    using platform::SymbolImage;
    if (iconType == MenuBarItemIcon::Kind::custom) {
        if (userSuppliedIcon)
            return MenuBarItemImage(*userSuppliedIcon, isUserSuppliedIconTemplate);
        return MenuBarItemImage(
            SymbolImage(QStringLiteral("questionmark.app.fill"), SymbolImage::kLargePointSize));
    }
    const QString name = iconName();
    const qreal pointSize = SymbolImage::standardPointSize(name);
    return MenuBarItemImage(SymbolImage(SymbolImage::isKnownName(name) ? name : QStringLiteral("folder.fill"),
                                        pointSize, SymbolImage::Weight::regular));
}

} // namespace kestrova

namespace {
template <typename T>
void combineOptional(std::size_t &seed, const std::optional<T> &value, auto &&hashValue) {
    kestrova::hashCombine(seed, value.has_value());
    if (value)
        kestrova::hashCombine(seed, hashValue(*value));
}
} // namespace

std::size_t std::hash<kestrova::Folder>::operator()(const kestrova::Folder &folder) const {
    using namespace kestrova;
    const auto identity = [](const auto &value) { return HashOf<std::decay_t<decltype(value)>>{}(value); };
    const auto colourHash = [](const platform::Color &color) {
        std::size_t seed = 0;
        for (const double component : {color.red(), color.green(), color.blue(), color.alpha()})
            hashCombine(seed, component);
        return seed;
    };
    std::size_t seed = 0;
    hashCombine(seed, folder.id);
    hashCombine(seed, folder.urlBookmark);
    combineOptional(seed, folder.customTitle, identity);
    combineOptional(seed, folder.customIconName, identity);
    hashCombine(seed, rawText(folder.menuBarItemStyle));
    hashCombine(seed, folder.showTitleInMenu);
    hashCombine(seed, rawText(folder.fileIconSize));
    hashCombine(seed, rawText(folder.sortOrder));
    hashCombine(seed, folder.keepFoldersOnTop);
    hashCombine(seed, folder.isVisible);
    combineOptional(seed, folder.itemLimit, identity);
    hashCombine(seed, folder.showHiddenItems);
    hashCombine(seed, rawText(folder.iconType));
    combineOptional(seed, folder.lightColor, colourHash);
    combineOptional(seed, folder.darkColor, colourHash);
    combineOptional(seed, folder.userSuppliedIcon,
                    [](const platform::Image &image) { return HashOf<QByteArray>{}(image.pngData()); });
    hashCombine(seed, folder.isUserSuppliedIconTemplate);
    hashCombine(seed, folder.showOpenWithMenuForFolders);
    return seed;
}

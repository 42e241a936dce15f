#include "DefaultsKeys.h"

namespace kestrova::Defaults::Keys {

const Key<std::vector<Folder>> &folders() {
    static const Key<std::vector<Folder>> key(QStringLiteral("folders"), {});
    return key;
}

const Key<std::optional<SandboxURLBookmark>> &rootSandboxURLBookmark() {
    static const Key<std::optional<SandboxURLBookmark>> key(QStringLiteral("rootSandboxURLBookmark"));
    return key;
}

const Key<std::map<QString, Folder::SortOrder>> &subfolderSortOrder() {
    static const Key<std::map<QString, Folder::SortOrder>> key(QStringLiteral("subfolderSortOrder"), {});
    return key;
}

const Key<bool> &showFoldersInMenu() {
    static const Key<bool> key(QStringLiteral("showFoldersInMenu"), false);
    return key;
}

const Key<bool> &showIconsInMenu() {
    static const Key<bool> key(QStringLiteral("showIconsInMenu"), true);
    return key;
}

const Key<bool> &showFileAndDirectorySubmenu() {
    static const Key<bool> key(QStringLiteral("showFileAndDirectorySubmenu"), true);
    return key;
}

const Key<MenuBarItemIcon> &menuBarItemIcon() {
    static const Key<MenuBarItemIcon> key(QStringLiteral("menuBarItemIcon"), MenuBarItemIcon{});
    return key;
}

const Key<bool> &hasMigratedSandbox() {
    static const Key<bool> key(QStringLiteral("hasMigratedSandbox"), false);
    return key;
}

} // namespace kestrova::Defaults::Keys

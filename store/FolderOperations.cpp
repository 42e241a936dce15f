// The operations of Folder that act on the whole stored list.
#include "DefaultsKeys.h"
#include "Folder.h"
#include "ShortcutService.h"
#include "ShortkeelHandlers.h"

#include "BookmarkData.h"

#include <algorithm>

namespace kestrova {

namespace {

std::optional<QUrl> rootFolderURL() {
    const auto bookmark = Defaults::get(Defaults::Keys::rootSandboxURLBookmark());
    if (!bookmark)
        return std::nullopt;
    return bookmark->url();
}

} // namespace

std::vector<QUrl> Folder::allURLs() {
    std::vector<QUrl> urls;
    for (const Folder &folder : Defaults::get(Defaults::Keys::folders()))
        if (auto resolved = folder.urlBookmark.url())
            urls.push_back(std::move(*resolved));
    return urls;
}

void Folder::startAccessingSecurityScopedResources() {
    for (const QUrl &url : allURLs())
        BookmarkData::startAccessingSecurityScopedResource(url);
    if (const auto root = rootFolderURL())
        BookmarkData::startAccessingSecurityScopedResource(*root);
}

void Folder::stopAccessingSecurityScopedResources() {
    for (const QUrl &url : allURLs())
        BookmarkData::stopAccessingSecurityScopedResource(url);
    if (const auto root = rootFolderURL())
        BookmarkData::stopAccessingSecurityScopedResource(*root);
}

Shortkeel::Name Folder::shortcutName() const {
    return Shortkeel::Name(Defaults::Serializable<QUuid>::canonicalText(id));
}

void Folder::setAllShortcutsEnabled(bool enabled) {
    auto &service = ShortcutService::shared();
    for (const Folder &folder : Defaults::get(Defaults::Keys::folders())) {
        const auto shortcut = Shortkeel::getShortcut(folder.shortcutName());
        if (!shortcut)
            continue;
        if (enabled)
            service.makeLive(*shortcut);
        else
            service.takeDown(*shortcut);
    }
}

void Folder::remove() const {
    ShortcutService::shared().reset({shortcutName()});
    Defaults::mutate(Defaults::Keys::folders(), [this](std::vector<Folder> &folders) {
        std::erase_if(folders, [this](const Folder &folder) { return folder.id == id; });
    });
}

} // namespace kestrova

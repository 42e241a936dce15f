// The operations of Folder that act on the whole stored list.
#include "DefaultsKeys.h"
#include "Folder.h"
#include "ShortcutService.h"

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

QString shortcutNameText(const Folder &folder) {
    return Defaults::Serializable<QUuid>::canonicalText(folder.id);
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

void Folder::setAllShortcutsEnabled(bool enabled) {
    auto &service = ShortcutService::shared();
    const auto &suite = *Defaults::Keys::folders().suite();
    for (const Folder &folder : Defaults::get(Defaults::Keys::folders())) {
        const auto text = suite.string(Shortkeel::Name(shortcutNameText(folder)).userDefaultsKey());
        if (!text)
            continue;
        // A disabled shortcut is stored as false, which reads as "0" and decodes as no shortcut.
        const auto shortcut = decodeJson<Shortkeel::Shortcut>(text->toUtf8());
        if (!shortcut)
            continue;
        if (enabled) {
            if (service.isRegistered(*shortcut))
                continue;
            service.registerHotKey(*shortcut);
            service.insertRegistered(*shortcut);
        } else {
            service.unregisterHotKey(*shortcut);
            service.removeRegistered(*shortcut);
        }
    }
}

void Folder::remove() const {
    ShortcutService::shared().reset({Shortkeel::Name(shortcutNameText(*this))});
    Defaults::mutate(Defaults::Keys::folders(), [this](std::vector<Folder> &folders) {
        std::erase_if(folders, [this](const Folder &folder) { return folder.id == id; });
    });
}

} // namespace kestrova

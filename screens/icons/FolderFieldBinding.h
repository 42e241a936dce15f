#pragma once

#include "platform/observation/Binding.h"
#include "store/Defaults.h"
#include "store/DefaultsKeys.h"
#include "store/Folder.h"

#include <QUuid>

#include <algorithm>
#include <functional>

namespace kestrova {

// A binding to a part of one stored folder, found by its id each time: reading gives `read` of the folder
// (`fallback` when no folder has the id), writing changes that folder in the stored list and stores the
// whole list at once. A folder removed meanwhile is not brought back by a write.
template <typename Value>
platform::Binding<Value> folderFieldBinding(QUuid id, std::function<Value(const Folder &)> read,
                                            std::function<void(Folder &, const Value &)> write,
                                            Value fallback = {}) {
    const auto find = [](std::vector<Folder> &folders, const QUuid &folderId) {
        return std::find_if(folders.begin(), folders.end(),
                            [&](const Folder &folder) { return folder.id == folderId; });
    };
    return platform::Binding<Value>(
        [id, read, fallback, find] {
            std::vector<Folder> folders = Defaults::get(Defaults::Keys::folders());
            const auto folder = find(folders, id);
            return folder == folders.end() ? fallback : read(*folder);
        },
        [id, write, find](const Value &value) {
            std::vector<Folder> folders = Defaults::get(Defaults::Keys::folders());
            const auto folder = find(folders, id);
            if (folder == folders.end())
                return;
            write(*folder, value);
            Defaults::set(Defaults::Keys::folders(), folders);
        });
}

} // namespace kestrova

#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kestrova::DataAndSettings {

// The application's own folders: SystemDirectories::applicationFolderName() inside each of the XDG config,
// data, cache and state homes.
QStringList ownFolders();

// `folder` when it is safe to remove as the application's own: an existing real folder (no symbolic link)
// of that name directly inside one of the XDG homes, which itself is none of "/", the home folder or
// its parents. None otherwise, which is then reported.
std::optional<QString> verifiedRemovalTarget(const QString &folder);

// Moves an item to the freedesktop Trash; false when it could not.
bool moveToTrash(const QString &path);

// Removes every entry of the standard settings and moves the verified own folders to the Trash with
// `trash` (moveToTrash by default). Answers the folders it handed to `trash`.
QStringList remove(const std::function<bool(const QString &)> &trash = moveToTrash);

} // namespace kestrova::DataAndSettings

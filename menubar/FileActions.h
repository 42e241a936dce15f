#pragma once

#include <QUrl>

#include <memory>

namespace kestrova {

class FileAccess;
class FolderController;
namespace platform {
class Menu;
}

// Installs the file actions as the folder menus' hooks: opening entries, the submenu of each regular file,
// "Get Info" and the missing-access help. Called once at start-up, after the desktop's services.
void installFileActions();

// What choosing an entry row does: an unreadable entry only explains itself; a folder opens; a symbolic
// link, or a file chosen with exactly Option held, is shown in the file manager; anything else opens.
void openFileEntry(const QUrl &url, bool isFolder, bool isReadable);
// The submenu of a readable regular file, or of a symbolic link to one: the link itself is trashed and
// copied, while opening, the preview and the information rows follow it to its target.
std::shared_ptr<platform::Menu> fileSubmenu(const QUrl &url,
                                            const std::shared_ptr<FolderController> &controller);
// The help for the entry or folder at `url` that `access` may not read, appended to `menu`: what blocks it
// (the owner and permissions of the item, or of a folder on the way to it) and how to change that. No
// button that would only pretend to grant access: where access is the file's permissions, the remedy is
// to change them.
void addMissingAccessHelp(platform::Menu &menu, const QUrl &url, const FileAccess &access);
// The file manager's properties window for the item; a failure is presented.
void showMoreInfo(const QUrl &url);

} // namespace kestrova

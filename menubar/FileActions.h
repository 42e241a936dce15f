#pragma once

#include <QUrl>

#include <memory>

namespace kestrova {

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
// The submenu of a readable regular file.
std::shared_ptr<platform::Menu> fileSubmenu(const QUrl &url,
                                            const std::shared_ptr<FolderController> &controller);
// The help for an entry or folder that cannot be read, appended to `menu`.
void addMissingAccessHelp(platform::Menu &menu);
// The file manager's properties window for the item; a failure is presented.
void showMoreInfo(const QUrl &url);

} // namespace kestrova

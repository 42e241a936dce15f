// Stores the given directories as menu-bar folders in the settings of the running user, for end-to-end
// runs in a temporary home: kestrova-seed-folders DIR...
#include "menubar/MainMenuBarItem.h"
#include "menubar/FolderMenuBarItem.h"
#include "platform/defaults/UserDefaults.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("kestrova.org"));
    // Collected in memory and stored once: a write per folder made a thousand folders take half a minute.
    const auto stored = kestrova::storedFoldersBinding();
    auto collected = std::make_shared<std::vector<kestrova::Folder>>(stored.get());
    const kestrova::platform::Binding<std::vector<kestrova::Folder>> collecting(
        [collected] { return *collected; },
        [collected](const std::vector<kestrova::Folder> &folders) { *collected = folders; });
    for (const QString &path : QCoreApplication::arguments().mid(1))
        kestrova::MainMenuBarItem::addFolder(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()),
                                             collecting);
    stored.set(*collected);
    // Folders are stored by someone who has started the application before: the run that reads them is no
    // first launch, which would greet the user with the welcome window first.
    const auto defaults = kestrova::platform::UserDefaults::standard();
    const QString launchCount = QStringLiteral("Kv_launchCount");
    if (!defaults->object(launchCount))
        defaults->setObject(kestrova::platform::PropertyListValue(1), launchCount);
    defaults->synchronize();
    return 0;
}

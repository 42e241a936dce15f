#pragma once

#include <QIcon>
#include <QString>

class QMimeType;

namespace kestrova::platform {

// The workspace's icons for files and folders, from the desktop's icon theme by the MIME type's icon name.
// Adwaita is the fallback theme, so that a machine without a desktop (or one whose theme lacks an icon)
// still draws real file icons. A type whose own icon is missing takes its generic icon, then its parent
// types' icons, then the generic document icon. Icons are cached per MIME type. Main thread only.
class FileIcons {
public:
    // By the name and kind of the item at `path`: folders get the folder icon, special files (pipes,
    // sockets, devices) their inode type's icon, other files the type of their name. The contents are never
    // read, so this neither blocks on a pipe nor costs a read per entry of a large folder.
    static QIcon iconForPath(const QString &path);
    static QIcon iconForMimeType(const QMimeType &mimeType);
    // An unknown MIME type name gives the generic document icon.
    static QIcon iconForMimeType(const QString &mimeTypeName);
    static QIcon folderIcon();

    // The theme icon name that `iconForMimeType` draws for the type.
    static QString themeIconName(const QMimeType &mimeType);

    // Makes Adwaita the fallback theme and the system's icon folders part of the search path; done once,
    // by every call above.
    static void installFallbackTheme();
};

} // namespace kestrova::platform

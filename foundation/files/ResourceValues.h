#pragma once

#include "platform/values/Date.h"

#include <QStringList>
#include <QUrl>

#include <optional>

// Typed resource values of the item a file URL names. Each reads only what it needs, about the item itself
// (a symbolic link is not followed), and a failed read answers the default or nothing, never an error.
// Nothing here opens a FIFO or a device file.
namespace kestrova::url {

enum class ResourceKey {
    isDirectory,
    isRegularFile,
    isSymbolicLink,
    isAliasFile, // a symbolic link: the Linux counterpart of an alias file
    isPackage,   // always false: Linux has no package folders
    isHidden,    // a name that begins with "."
};

bool boolResourceValue(const QUrl &url, ResourceKey key, bool defaultValue);

bool isAlias(const QUrl &url);
// A directory that is not a package.
bool isFolder(const QUrl &url);

// The MIME type name ("image/png", "inode/directory", "inode/fifo", …); nothing when the item cannot be read.
std::optional<QString> contentType(const QUrl &url);

// The birth time, where the file system records it.
std::optional<platform::Date> creationDate(const QUrl &url);
std::optional<platform::Date> contentModificationDate(const QUrl &url);
std::optional<platform::Date> contentAccessDate(const QUrl &url);
// Linux keeps no "date added to folder"; the status-change time stands in for it, since a move into a folder
// updates it, but so do a change of permissions and a write.
std::optional<platform::Date> addedToDirectoryDate(const QUrl &url);

// Each writes only its own date; no date writes nothing, and a failure is ignored. Linux cannot set a birth
// time, so setCreationDate changes nothing.
void setCreationDate(const QUrl &url, std::optional<platform::Date> date);
void setContentModificationDate(const QUrl &url, std::optional<platform::Date> date);
void setContentAccessDate(const QUrl &url, std::optional<platform::Date> date);

// The item's tags from the "user.xdg.tags" attribute (comma-separated); empty when there are none.
QStringList tagNames(const QUrl &url);

} // namespace kestrova::url

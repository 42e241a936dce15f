#pragma once

#include <QUrl>

#include <optional>
#include <vector>

namespace kestrova::url {

enum class ItemRelationship { contains, same, other };

// How the folder `directory` relates to `item`: it contains it (at any depth), it is the same item, or
// neither. Compared by device and inode along the item's real ancestors, so symbolic links in either path
// do not fool it. A failed lookup counts as other.
ItemRelationship relationship(const QUrl &directory, const QUrl &item);

// The freedesktop Trash folders that can hold `item`: the home Trash ($XDG_DATA_HOME/Trash) and, on the
// item's volume, "$top/.Trash/$uid" (only where ".Trash" is a sticky folder and not a link) and
// "$top/.Trash-$uid". None of them is created. Nothing when the item's folder cannot be found.
std::optional<std::vector<QUrl>> trashDirectories(const QUrl &item);

// True when a Trash folder contains the item (the Trash folder itself is not in the Trash), or when its path
// lies in a file-provider Trash.
bool isInTrash(const QUrl &url);

} // namespace kestrova::url

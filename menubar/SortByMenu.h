#pragma once

#include "store/Folder.h"

#include <QString>
#include <QUrl>

#include <memory>

namespace kestrova {

class KvMenu;

// The sort order a user picked for one listed directory, stored in "subfolderSortOrder" under the
// directory URL's text: the same directory reached through two different texts (with and without a
// trailing slash) keeps two entries.
QString subfolderSortOrderKey(const QUrl &directory);
// The stored order of the directory, if one was picked.
std::optional<Folder::SortOrder> storedSubfolderSortOrder(const QUrl &directory);
// The directory follows its folder's order again.
void resetSubfolderSortOrder(const QUrl &directory);
// Stores `order` for the directory; picking the order already stored returns it to the folder's order.
void setSubfolderSortOrder(const QUrl &directory, Folder::SortOrder order);

// "Name", "Date Added", "Date Modified", … : the stored name split before capitals and title-cased.
QString sortOrderTitle(Folder::SortOrder order);

// "Default (<the folder's order>)", a separator and one entry per sort order, the stored choice checked.
std::shared_ptr<KvMenu> buildSortBySubmenu(const QUrl &directory, const Folder &folder);

} // namespace kestrova

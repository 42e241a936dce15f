#include "SortByMenu.h"

#include "store/Defaults.h"
#include "store/DefaultsKeys.h"
#include "store/RawTextEnum.h"
#include "ui-kit/menus/CallbackMenuItem.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/utilities/MenuText.h"

namespace kestrova {

QString subfolderSortOrderKey(const QUrl &directory) {
    return QString::fromLatin1(directory.toEncoded());
}

std::optional<Folder::SortOrder> storedSubfolderSortOrder(const QUrl &directory) {
    const auto stored = Defaults::get(Defaults::Keys::subfolderSortOrder());
    const auto found = stored.find(subfolderSortOrderKey(directory));
    if (found == stored.end())
        return std::nullopt;
    return found->second;
}

void resetSubfolderSortOrder(const QUrl &directory) {
    auto stored = Defaults::get(Defaults::Keys::subfolderSortOrder());
    stored.erase(subfolderSortOrderKey(directory));
    Defaults::set(Defaults::Keys::subfolderSortOrder(), stored);
}

void setSubfolderSortOrder(const QUrl &directory, Folder::SortOrder order) {
    auto stored = Defaults::get(Defaults::Keys::subfolderSortOrder());
    const QString key = subfolderSortOrderKey(directory);
    const auto found = stored.find(key);
    if (found != stored.end() && found->second == order)
        stored.erase(found);
    else
        stored[key] = order;
    Defaults::set(Defaults::Keys::subfolderSortOrder(), stored);
}

QString sortOrderTitle(Folder::SortOrder order) {
    return titleCased(splittingCamelCase(rawText(order)));
}

std::shared_ptr<KvMenu> buildSortBySubmenu(const QUrl &directory, const Folder &folder) {
    auto menu = KvMenu::create();
    const auto stored = storedSubfolderSortOrder(directory);
    addCallbackItem(*menu,
                    QStringLiteral("Default (") + sortOrderTitle(folder.sortOrder) + QStringLiteral(")"),
                    [directory] { resetSubfolderSortOrder(directory); }, {.isChecked = !stored.has_value()});
    menu->addSeparator();
    for (const auto &[order, rawName] : RawTextCases<Folder::SortOrder>::cases) {
        Q_UNUSED(rawName);
        addCallbackItem(*menu, sortOrderTitle(order),
                        [directory, order] { setSubfolderSortOrder(directory, order); },
                        {.isChecked = stored == order});
    }
    return menu;
}

} // namespace kestrova

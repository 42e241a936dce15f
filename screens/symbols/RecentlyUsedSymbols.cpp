#include "RecentlyUsedSymbols.h"

#include <algorithm>
#include <iterator>

namespace kestrova {

const Defaults::Key<std::vector<QString>> &recentlyUsedSymbolsKey() {
    static const Defaults::Key<std::vector<QString>> key(QStringLiteral("SymbolPicker__recentlyUsedSymbols"),
                                                         {});
    return key;
}

std::vector<QString> recentsAfterPicking(const std::vector<QString> &recents, const QString &name) {
    std::vector<QString> result{name};
    std::copy_if(recents.begin(), recents.end(), std::back_inserter(result),
                 [&](const QString &entry) { return entry != name; });
    if (result.size() > std::size_t(kRecentlyUsedSymbolLimit))
        result.resize(kRecentlyUsedSymbolLimit);
    return result;
}

} // namespace kestrova

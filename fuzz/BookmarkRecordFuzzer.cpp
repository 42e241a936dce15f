// The bookmark record of a folder, as stored inside the folder's JSON or under the root-folder key.
#include "FuzzSupport.h"

#include "foundation/errors/Error.h"
#include "store/BookmarkData.h"

namespace BookmarkData = kestrova::BookmarkData;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray record = kestrova::fuzz::bytes(data, size);
    (void)BookmarkData::resourceValues(
        record, {QLatin1String(BookmarkData::kUrlStringKey), QLatin1String(BookmarkData::kAllPropertiesKey)});
    try {
        // Resolving only looks at the path the record names; it never opens or changes anything.
        (void)BookmarkData::resolve(record);
    } catch (const kestrova::Error &) {
    }
    return 0;
}

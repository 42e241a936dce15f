// An icon theme's cache, as found in any theme folder on the search path (the user's own included).
#include "FuzzSupport.h"

#include "platform/workspace/IconTheme.h"

using kestrova::platform::IconThemeCache;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto cache = IconThemeCache::read(kestrova::fuzz::bytes(data, size));
    if (!cache)
        return 0;
    // The names a menu looks up, and the cache's own last bytes as a name, so that found names are reached.
    QList<QByteArray> names{"text-x-generic", "image-x-generic", "folder", "app"};
    names << QByteArray(reinterpret_cast<const char *>(data) + size - qMin<std::size_t>(size, 16),
                        qsizetype(qMin<std::size_t>(size, 16)));
    for (const QByteArray &name : names) {
        for (const IconThemeCache::Image &image : cache->lookup(name))
            kestrova::fuzz::require(image.directory >= 0 && image.directory < cache->directories().size(),
                                    "every image found lies in a folder the cache lists");
    }
    return 0;
}

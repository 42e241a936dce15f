#include "MediaLibraries.h"

#include "platform/SharedLibraries.h"

namespace kestrova::media {
namespace {

using platform::LibraryFamily;

template <typename Table> struct Loaded {
    Table table;
    QString problem;
};

template <typename Table> const Table *answer(const Loaded<Table> &loaded, QString *problem) {
    if (problem)
        *problem = loaded.problem;
    return loaded.problem.isEmpty() ? &loaded.table : nullptr;
}

} // namespace

#define KESTROVA_RESOLVE(name) libraries.resolve(result.table.name, #name);

const Libav *libav(QString *problem) {
    static const Loaded<Libav> loaded = [] {
        LibraryFamily libraries({
            KESTROVA_LIBAVUTIL_SONAME,
            KESTROVA_LIBAVCODEC_SONAME,
            KESTROVA_LIBAVFORMAT_SONAME,
            KESTROVA_LIBSWSCALE_SONAME,
        });
        Loaded<Libav> result;
        KESTROVA_LIBAV_FUNCTIONS(KESTROVA_RESOLVE)
        result.problem = QString::fromLocal8Bit(libraries.problem().c_str());
        return result;
    }();
    return answer(loaded, problem);
}

const Libheif *libheif(QString *problem) {
    static const Loaded<Libheif> loaded = [] {
        LibraryFamily libraries({KESTROVA_LIBHEIF_SONAME});
        Loaded<Libheif> result;
        KESTROVA_LIBHEIF_FUNCTIONS(KESTROVA_RESOLVE)
        result.problem = QString::fromLocal8Bit(libraries.problem().c_str());
        return result;
    }();
    return answer(loaded, problem);
}

#undef KESTROVA_RESOLVE

} // namespace kestrova::media

#include "MediaLibraries.h"

#include <QStringList>

#include <initializer_list>
#include <vector>

#include <dlfcn.h>

namespace kestrova::media {
namespace {

// The libraries of one family, by the names their versions were built against; never unloaded, since
// what they allocated may outlive any caller.
class LibraryFamily {
public:
    explicit LibraryFamily(std::initializer_list<const char *> sonames) {
        for (const char *soname : sonames) {
            void *handle = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                m_problems << QString::fromLocal8Bit(::dlerror());
                return;
            }
            m_handles.push_back(handle);
        }
    }

    template <typename Function> void resolve(Function &function, const char *name) {
        for (void *handle : m_handles) {
            if (void *symbol = ::dlsym(handle, name)) {
                function = reinterpret_cast<Function>(symbol);
                return;
            }
        }
        if (m_problems.isEmpty() || !m_handles.empty())
            m_problems << QStringLiteral("%1 is missing").arg(QLatin1String(name));
    }

    QString problem() const { return m_problems.join(QStringLiteral("; ")); }

private:
    std::vector<void *> m_handles;
    QStringList m_problems;
};

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
        result.problem = libraries.problem();
        return result;
    }();
    return answer(loaded, problem);
}

const Libheif *libheif(QString *problem) {
    static const Loaded<Libheif> loaded = [] {
        LibraryFamily libraries({KESTROVA_LIBHEIF_SONAME});
        Loaded<Libheif> result;
        KESTROVA_LIBHEIF_FUNCTIONS(KESTROVA_RESOLVE)
        result.problem = libraries.problem();
        return result;
    }();
    return answer(loaded, problem);
}

#undef KESTROVA_RESOLVE

} // namespace kestrova::media

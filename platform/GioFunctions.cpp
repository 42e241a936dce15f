#include "GioFunctions.h"

#include "SharedLibraries.h"

#include <cstdio>
#include <cstdlib>

namespace kestrova::platform {

const Gio &gio() {
    static const Gio loaded = [] {
        LibraryFamily libraries({KESTROVA_LIBGIO_SONAME});
        Gio table;
#define KESTROVA_RESOLVE(name) libraries.resolve(table.name, #name);
        KESTROVA_GIO_FUNCTIONS(KESTROVA_RESOLVE)
#undef KESTROVA_RESOLVE
        if (!libraries.problem().empty()) {
            std::fprintf(stderr, "Kestrova: GIO cannot be used: %s\n", libraries.problem().c_str());
            std::abort();
        }
        return table;
    }();
    return loaded;
}

} // namespace kestrova::platform

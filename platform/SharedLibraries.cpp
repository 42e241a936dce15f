#include "SharedLibraries.h"

#include <dlfcn.h>

namespace kestrova::platform {

LibraryFamily::LibraryFamily(std::initializer_list<const char *> sonames) {
    for (const char *soname : sonames) {
        void *handle = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            m_problem = ::dlerror();
            return;
        }
        m_handles.push_back(handle);
    }
}

void *LibraryFamily::symbol(const char *name) {
    for (void *handle : m_handles) {
        if (void *found = ::dlsym(handle, name))
            return found;
    }
    // A library that did not load already said why; its functions need not be listed.
    if (m_problem.empty() || !m_handles.empty())
        m_problem += (m_problem.empty() ? "" : "; ") + std::string(name) + " is missing";
    return nullptr;
}

} // namespace kestrova::platform

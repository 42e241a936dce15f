#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace kestrova::platform {

// Libraries loaded on first use rather than linked: the shared libraries of one family, by their run-time
// names (SONAMEs), and the functions looked up in them. Never unloaded, since what they allocated may
// outlive any caller.
class LibraryFamily {
public:
    explicit LibraryFamily(std::initializer_list<const char *> sonames);

    // Fills `function` with the named function of the first library that has it; a missing one is
    // remembered in problem().
    template <typename Function> void resolve(Function &function, const char *name) {
        function = reinterpret_cast<Function>(symbol(name));
    }

    // Empty when every library loaded and every function was found.
    const std::string &problem() const { return m_problem; }

private:
    void *symbol(const char *name);

    std::vector<void *> m_handles;
    std::string m_problem;
};

} // namespace kestrova::platform

#pragma once

// Force-included into the fuzz build only. Debian's clang 14 lacks the builtin that libstdc++ 12's
// <source_location> is made of, so that header declares nothing there; this supplies the same type from the
// builtins clang 14 does have. Any other compiler (or a newer clang) gets the library's own.
#include <version>

#if !defined(__cpp_lib_source_location) && defined(__clang__)
namespace std {
struct source_location {
    static constexpr source_location current(const char *file = __builtin_FILE(),
                                             const char *function = __builtin_FUNCTION(),
                                             unsigned line = __builtin_LINE(),
                                             unsigned column = __builtin_COLUMN()) noexcept {
        return source_location(file, function, line, column);
    }
    constexpr source_location() noexcept = default;
    constexpr const char *file_name() const noexcept { return m_file; }
    constexpr const char *function_name() const noexcept { return m_function; }
    constexpr unsigned line() const noexcept { return m_line; }
    constexpr unsigned column() const noexcept { return m_column; }

private:
    constexpr source_location(const char *file, const char *function, unsigned line, unsigned column) noexcept
        : m_file(file)
        , m_function(function)
        , m_line(line)
        , m_column(column) {}

    const char *m_file = "";
    const char *m_function = "";
    unsigned m_line = 0;
    unsigned m_column = 0;
};
} // namespace std
#endif

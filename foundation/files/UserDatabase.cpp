#include "UserDatabase.h"

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace kestrova {
namespace {

// `lookup` is getpwuid_r or getgrgid_r; `field` the text member wanted of the entry.
template <typename Entry, typename Id, typename Lookup>
std::optional<QByteArray> lookUp(Id id, Lookup lookup, char *Entry::*field, int sizeHint) {
    long bufferSize = ::sysconf(sizeHint);
    if (bufferSize <= 0)
        bufferSize = 16384;
    std::vector<char> buffer(static_cast<size_t>(bufferSize));
    for (;;) {
        Entry entry{};
        Entry *found = nullptr;
        const int error = lookup(id, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < 1024 * 1024) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || !found || !(found->*field))
            return std::nullopt;
        return QByteArray(found->*field);
    }
}

} // namespace

std::optional<QByteArray> userNameFromDatabase(uid_t uid) {
    return lookUp(uid, ::getpwuid_r, &passwd::pw_name, _SC_GETPW_R_SIZE_MAX);
}

std::optional<QByteArray> groupNameFromDatabase(gid_t gid) {
    return lookUp(gid, ::getgrgid_r, &group::gr_name, _SC_GETGR_R_SIZE_MAX);
}

std::optional<QByteArray> userHomeFromDatabase(uid_t uid) {
    return lookUp(uid, ::getpwuid_r, &passwd::pw_dir, _SC_GETPW_R_SIZE_MAX);
}

} // namespace kestrova

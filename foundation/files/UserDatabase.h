#pragma once

#include <QByteArray>

#include <optional>
#include <sys/types.h>

namespace kestrova {

// Entries of the user and group databases (files, LDAP, systemd-homed…), read with the reentrant calls and a
// buffer that grows until the entry fits: a group with many members does not fit the suggested size.
// Nothing when there is no entry.
std::optional<QByteArray> userNameFromDatabase(uid_t uid);
std::optional<QByteArray> groupNameFromDatabase(gid_t gid);
std::optional<QByteArray> userHomeFromDatabase(uid_t uid);

} // namespace kestrova

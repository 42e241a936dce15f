#pragma once

#include <QByteArray>
#include <QString>

#include <sys/mount.h>
#include <unistd.h>

namespace kestrova::testing {

// A tmpfs mounted on `directory` for as long as it lives; a second one on the same folder covers the first
// and has a device number of its own. Mounting needs root (CI runs as root); `isMounted()` says whether it
// worked, and tests skip with a message when it did not.
class TemporaryMount {
public:
    TemporaryMount(const QString &directory, const char *options)
        : m_target(directory.toLocal8Bit()) {
        m_mounted = ::geteuid() == 0 && ::mount("tmpfs", m_target.constData(), "tmpfs", 0, options) == 0;
    }
    ~TemporaryMount() {
        if (m_mounted)
            ::umount2(m_target.constData(), MNT_DETACH);
    }
    TemporaryMount(const TemporaryMount &) = delete;
    TemporaryMount &operator=(const TemporaryMount &) = delete;

    bool isMounted() const { return m_mounted; }
    static constexpr auto kSkipMessage = "mounting a tmpfs needs root; run as root to test this";

private:
    QByteArray m_target;
    bool m_mounted = false;
};

} // namespace kestrova::testing

#pragma once

#include <QString>
#include <QTemporaryDir>

namespace kestrova::testing {

// Points HOME and the XDG folders at a fresh temporary folder for as long as it lives, so that no test
// reads or writes the real home. The test main installs one for the whole process; a test that needs a
// clean slate makes its own.
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome &) = delete;
    TemporaryHome &operator=(const TemporaryHome &) = delete;

    QString path() const { return m_directory.path(); }
    QString configHome() const { return path() + QStringLiteral("/.config"); }
    QString dataHome() const { return path() + QStringLiteral("/.local/share"); }
    QString cacheHome() const { return path() + QStringLiteral("/.cache"); }
    QString stateHome() const { return path() + QStringLiteral("/.local/state"); }

private:
    QTemporaryDir m_directory;
    QByteArray m_savedEnvironment[7];
};

} // namespace kestrova::testing

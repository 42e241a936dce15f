#include "TemporaryHome.h"

#include <QDir>
#include <QFile>

#include <cstdlib>

namespace kestrova::testing {
namespace {

constexpr const char *kVariables[7] = {"HOME",           "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                       "XDG_CACHE_HOME", "XDG_STATE_HOME",  "XDG_RUNTIME_DIR",
                                       "XDG_CONFIG_DIRS"};

} // namespace

TemporaryHome::TemporaryHome()
    : m_directory(QDir::tempPath() + QStringLiteral("/kestrova-test-XXXXXX")) {
    for (int index = 0; index < 7; ++index)
        m_savedEnvironment[index] = qgetenv(kVariables[index]);
    const QString runtime = path() + QStringLiteral("/runtime");
    for (const QString &folder : {configHome(), dataHome(), cacheHome(), stateHome(), runtime})
        QDir().mkpath(folder);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", QFile::encodeName(path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(stateHome()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(path() + QStringLiteral("/etc-xdg")));
}

TemporaryHome::~TemporaryHome() {
    for (int index = 0; index < 7; ++index) {
        if (m_savedEnvironment[index].isNull())
            qunsetenv(kVariables[index]);
        else
            qputenv(kVariables[index], m_savedEnvironment[index]);
    }
}

} // namespace kestrova::testing

#include "platform/testing/PrivateSessionBus.h"

namespace kestrova::testing {

PrivateSessionBus::PrivateSessionBus() {
    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments(
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    m_daemon.setStandardErrorFile(QProcess::nullDevice());
    m_daemon.start();
    if (!m_daemon.waitForStarted(10000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
}

PrivateSessionBus::~PrivateSessionBus() {
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(10000))
        m_daemon.kill();
    m_daemon.waitForFinished(10000);
}

} // namespace kestrova::testing

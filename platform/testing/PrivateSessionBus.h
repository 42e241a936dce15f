#pragma once

#include <QProcess>
#include <QString>

namespace kestrova::testing {

// A session bus of the test's own (dbus-daemon), ended with the object, so that nothing a test puts on
// the bus reaches the user's desktop. address() is empty when the daemon could not start.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

} // namespace kestrova::testing

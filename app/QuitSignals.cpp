#include "QuitSignals.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcQuitSignals, "kestrova.app")

namespace kestrova {
namespace {

// Written by the handler, so a plain integer: the handler may touch nothing else.
volatile sig_atomic_t g_writeEnd = -1;

void writeSignalNumber(int signalNumber) {
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signalNumber);
    if (g_writeEnd >= 0) {
        // A full pipe already holds a request to quit.
        const ssize_t written = ::write(g_writeEnd, &number, 1);
        static_cast<void>(written);
    }
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent) {
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcQuitSignals) << "No pipe for the quit signals; SIGTERM will end the application at once";
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    g_writeEnd = m_pipe[1];
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readSignals);

    struct sigaction action = {};
    action.sa_handler = writeSignalNumber;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls resume: the handler does nothing that needs them to fail.
    action.sa_flags = SA_RESTART;
    for (std::size_t index = 0; index < std::size(kSignals); ++index)
        ::sigaction(kSignals[index], &action, &m_previous[index]);
}

QuitSignals::~QuitSignals() {
    if (!m_notifier)
        return;
    for (std::size_t index = 0; index < std::size(kSignals); ++index)
        ::sigaction(kSignals[index], &m_previous[index], nullptr);
    g_writeEnd = -1;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void QuitSignals::readSignals() {
    unsigned char number = 0;
    int last = 0;
    while (::read(m_pipe[0], &number, 1) == 1)
        last = number;
    if (last == 0)
        return;
    Q_EMIT quitRequested(last);
    QCoreApplication::exit(0);
}

} // namespace kestrova

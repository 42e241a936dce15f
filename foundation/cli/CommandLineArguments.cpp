#include "CommandLineArguments.h"

#include "foundation/app/KvApp.h"
#include "foundation/errors/GeneralError.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <optional>

#include <pthread.h>
#include <unistd.h>

namespace kestrova {

ParsedCommandLineArguments parseCommandLineArguments(const QStringList &arguments) {
    ParsedCommandLineArguments parsed;
    std::optional<QString> pendingOption;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            break;
        if (argument.startsWith(QLatin1String("--"))) {
            pendingOption = argument.mid(2);
            parsed.options[*pendingOption] = true;
        } else if (pendingOption) {
            parsed.options[*pendingOption] = argument;
            pendingOption.reset();
        } else {
            parsed.positionalArguments.append(argument);
        }
    }
    return parsed;
}

// SIGPIPE is held back on this thread only; one raised meanwhile is taken off again, unless one was
// already waiting before.
int FileHandle::writeAll(int fileDescriptor, const QByteArray &bytes) {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);

    int failure = 0;
    const char *next = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fileDescriptor, next, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            failure = errno;
            break;
        }
        next += written;
        left -= written;
    }
    if (failure == EPIPE && !wasPending) {
        const timespec noWait{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &noWait) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return failure;
}

void FileHandle::write(const QString &text) const {
    if (const int failure = writeAll(m_fileDescriptor, text.toUtf8()))
        KvApp::reportError(GeneralError(QString::fromLocal8Bit(std::strerror(failure))));
}

} // namespace kestrova

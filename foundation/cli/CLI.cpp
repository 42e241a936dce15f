#include "CLI.h"

#include "foundation/files/FileUrl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <unistd.h>

namespace kestrova {

namespace {

struct StandardHandles {
    std::mutex mutex;
    FileHandle input = FileHandle::standardInput();
    FileHandle output = FileHandle::standardOutput();
    FileHandle error = FileHandle::standardError();
};

StandardHandles &handles() {
    static StandardHandles shared;
    return shared;
}

// The process's own argument list, as the kernel keeps it.
QStringList processArguments() {
    QFile file(QStringLiteral("/proc/self/cmdline"));
    QStringList arguments;
    if (!file.open(QIODevice::ReadOnly))
        return arguments;
    QByteArray bytes = file.readAll();
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    for (const QByteArray &argument : bytes.split('\0'))
        arguments.append(QFile::decodeName(argument));
    return arguments;
}

struct ProcessArguments {
    QStringList all = processArguments();
    QStringList arguments = all.mid(1);
    ParsedCommandLineArguments parsed = parseCommandLineArguments(arguments);
};

const ProcessArguments &process() {
    static const ProcessArguments shared;
    return shared;
}

ssize_t readRetrying(int fileDescriptor, char *buffer, size_t size) {
    ssize_t count;
    do
        count = ::read(fileDescriptor, buffer, size);
    while (count < 0 && errno == EINTR);
    return count;
}

// A decimal id that fits 32 bits unsigned, or nothing.
std::optional<uint32_t> decimalId(const char *text) {
    if (!text || !*text)
        return std::nullopt;
    uint64_t value = 0;
    for (const char *next = text; *next; ++next) {
        if (*next < '0' || *next > '9')
            return std::nullopt;
        value = value * 10 + uint64_t(*next - '0');
        if (value > UINT32_MAX)
            return std::nullopt;
    }
    return uint32_t(value);
}

[[noreturn]] void failDropping(const char *step) {
    throw posixError(errno, QStringLiteral("Dropping root rights (%1)").arg(QLatin1String(step)));
}

} // namespace

FileHandle CLI::standardInput() {
    std::lock_guard lock(handles().mutex);
    return handles().input;
}

FileHandle CLI::standardOutput() {
    std::lock_guard lock(handles().mutex);
    return handles().output;
}

FileHandle CLI::standardError() {
    std::lock_guard lock(handles().mutex);
    return handles().error;
}

void CLI::setStandardInput(FileHandle handle) {
    std::lock_guard lock(handles().mutex);
    handles().input = handle;
}

void CLI::setStandardOutput(FileHandle handle) {
    std::lock_guard lock(handles().mutex);
    handles().output = handle;
}

void CLI::setStandardError(FileHandle handle) {
    std::lock_guard lock(handles().mutex);
    handles().error = handle;
}

QUrl CLI::executableURL() {
    const QString first = process().all.value(0);
    return url::fromLocalPath(QFile::encodeName(first));
}

QString CLI::executableName() {
    return executableURL().fileName();
}

const QStringList &CLI::arguments() {
    return process().arguments;
}

const QStringList &CLI::positionalArguments() {
    return process().parsed.positionalArguments;
}

const std::map<QString, CommandLineOptionValue> &CLI::options() {
    return process().parsed.options;
}

bool CLI::hasOption(const QString &name) {
    return options().contains(name);
}

QUrl CLI::workingDirectory() {
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer))
        return url::fromLocalPath(QFile::encodeName(QDir::currentPath()), /*isDirectory=*/true);
    return url::fromLocalPath(QByteArray(buffer), /*isDirectory=*/true);
}

QByteArray CLI::standardInputData() {
    const int input = standardInput().fileDescriptor();
    QByteArray data;
    char buffer[65536];
    // The first read waits for something; later ones take only what is ready without waiting.
    for (bool first = true;; first = false) {
        if (!first) {
            pollfd ready{input, POLLIN, 0};
            if (::poll(&ready, 1, 0) <= 0 || !(ready.revents & (POLLIN | POLLHUP)))
                break;
        }
        const ssize_t count = readRetrying(input, buffer, sizeof buffer);
        if (count <= 0)
            break;
        data.append(buffer, count);
    }
    return data;
}

std::optional<QString> CLI::standardInputText() {
    const QByteArray data = standardInputData();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(data);
    if (decoder.hasError())
        return std::nullopt;
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

std::optional<QString> CLI::readLine(bool strippingNewline) {
    const int input = standardInput().fileDescriptor();
    QByteArray line;
    char byte = 0;
    bool ended = true;
    // One byte at a time, so that nothing after the line is taken from the input.
    while (readRetrying(input, &byte, 1) == 1) {
        ended = false;
        line.append(byte);
        if (byte == '\n')
            break;
    }
    if (ended)
        return std::nullopt;
    if (strippingNewline && line.endsWith('\n'))
        line.chop(line.endsWith("\r\n") ? 2 : 1);
    return QString::fromUtf8(line);
}

void CLI::exitWithError(const Error &error) {
    standardError().write(error.localizedDescription() + QLatin1Char('\n'));
    std::exit(1);
}

void CLI::revertSudo() {
    const std::optional<uint32_t> userId = decimalId(std::getenv("SUDO_UID"));
    if (!userId)
        return;
    const passwd *user = ::getpwuid(*userId);
    std::optional<uint32_t> groupId = decimalId(std::getenv("SUDO_GID"));
    if (!groupId && user)
        groupId = user->pw_gid;
    if (!groupId) {
        errno = ENOENT;
        failDropping("no group for the user");
    }
    // Root's supplementary groups go first, while the rights to change them are still there.
    if (user ? ::initgroups(user->pw_name, *groupId) != 0 : ::setgroups(0, nullptr) != 0)
        failDropping(user ? "initgroups" : "setgroups");
    if (::setgid(*groupId) != 0)
        failDropping("setgid");
    if (::setuid(*userId) != 0)
        failDropping("setuid");
    if (::getuid() != *userId || ::geteuid() != *userId || ::getgid() != *groupId ||
        ::getegid() != *groupId) {
        errno = EPERM;
        failDropping("the ids did not change");
    }
    if (*userId != 0 && ::setuid(0) == 0) {
        errno = EPERM;
        failDropping("root could be regained");
    }
}

} // namespace kestrova

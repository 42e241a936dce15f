#include "DesktopThumbnailer.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <set>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace kestrova {
namespace {

using Clock = std::chrono::steady_clock;

// A decoded thumbnail may take this many megabytes at most.
constexpr int kDecodeAllocationLimitMegabytes = 64;

// The value of a key as the desktop entry format escapes it: \s, \n, \t, \r and \\.
QString unescapedValue(const QString &value) {
    QString result;
    for (qsizetype index = 0; index < value.size(); ++index) {
        const QChar character = value.at(index);
        if (character != QLatin1Char('\\') || index + 1 == value.size()) {
            result += character;
            continue;
        }
        const QChar next = value.at(++index);
        if (next == QLatin1Char('s'))
            result += QLatin1Char(' ');
        else if (next == QLatin1Char('n'))
            result += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            result += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            result += QLatin1Char('\r');
        else
            result += next;
    }
    return result;
}

// The words of an Exec line: separated by blanks, a word in double quotes may hold blanks, and inside
// quotes a backslash takes the next character literally. Nothing for an unterminated quote.
std::optional<QStringList> execWords(const QString &line) {
    QStringList words;
    QString word;
    bool inWord = false, quoted = false;
    for (qsizetype index = 0; index < line.size(); ++index) {
        const QChar character = line.at(index);
        if (quoted) {
            if (character == QLatin1Char('"'))
                quoted = false;
            else if (character == QLatin1Char('\\') && index + 1 < line.size())
                word += line.at(++index);
            else
                word += character;
        } else if (character == QLatin1Char('"')) {
            quoted = inWord = true;
        } else if (character == QLatin1Char(' ') || character == QLatin1Char('\t')) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += character;
            inWord = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inWord)
        words << word;
    return words;
}

// The installed program a command names: a path that is executable, or a name found on the PATH.
QByteArray installedProgram(const QString &command) {
    if (command.isEmpty())
        return {};
    const QString found =
        command.contains(QLatin1Char('/')) ? command : QStandardPaths::findExecutable(command);
    if (found.isEmpty())
        return {};
    const QByteArray path = QFile::encodeName(found);
    struct stat status {};
    if (::stat(path.constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        ::access(path.constData(), X_OK) != 0)
        return {};
    return path;
}

// The process groups of the thumbnailers running now. When the application ends while one runs, its group
// is killed rather than left behind.
struct RunningGroups {
    std::mutex mutex;
    std::set<pid_t> groups;
};

RunningGroups &runningGroups() {
    // Never destroyed: the exit handler below reads it while the process ends.
    static auto *shared = new RunningGroups;
    return *shared;
}

void killRunningGroups() {
    const std::lock_guard lock(runningGroups().mutex);
    for (const pid_t group : runningGroups().groups)
        ::kill(-group, SIGKILL);
}

// Runs `command` in a process group of its own with no input and discarded output, bounded by `limits`.
// True when it ended by itself with status 0 within the time; otherwise it and every process of its group
// are killed. The group is also killed after a normal end, so that nothing it left behind keeps running.
bool runBounded(const std::vector<QByteArray> &command, const ThumbnailerLimits &limits) {
    // The limits must hold before the program runs its first instruction: util-linux's prlimit sets them and
    // then becomes the program (same process), where setting them after the spawn raced a quick program.
    std::vector<QByteArray> bounded = command;
    static const QByteArray kPrlimit = "/usr/bin/prlimit";
    if (::access(kPrlimit.constData(), X_OK) == 0)
        bounded.insert(bounded.begin(), {kPrlimit, "--as=" + QByteArray::number(limits.memoryLimit),
                                         "--fsize=" + QByteArray::number(limits.outputSizeLimit),
                                         QByteArray("--core=0"), QByteArray("--")});
    std::vector<char *> arguments;
    for (const QByteArray &argument : bounded)
        arguments.push_back(const_cast<char *>(argument.constData()));
    arguments.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t noSignals, allSignals;
    sigemptyset(&noSignals);
    sigfillset(&allSignals);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &allSignals);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, arguments.front(), &actions, &attributes, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return false;
    static std::once_flag exitHandler;
    std::call_once(exitHandler, [] { std::atexit(killRunningGroups); });
    {
        const std::lock_guard lock(runningGroups().mutex);
        runningGroups().groups.insert(child);
    }

    // Set as soon as the program has started (posix_spawn returns once it runs), while it is still loading
    // its libraries and long before it reads the file.
    const auto limit = [child](int resource, qint64 value) {
        const struct rlimit bound { rlim_t(value), rlim_t(value) };
        ::prlimit(child, static_cast<__rlimit_resource>(resource), &bound, nullptr);
    };
    limit(RLIMIT_AS, limits.memoryLimit);
    limit(RLIMIT_FSIZE, limits.outputSizeLimit);
    limit(RLIMIT_CORE, 0);

    // Waits for the end without reaping, so that the group can still be killed by the leader's number.
    const auto deadline = Clock::now() + limits.timeLimit;
    bool ended = false;
    const int handle = int(::syscall(SYS_pidfd_open, child, 0));
    while (!ended) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        if (handle >= 0) {
            struct pollfd watched {
                handle, POLLIN, 0
            };
            const int ready = ::poll(&watched, 1, int(std::min<qint64>(left.count(), 1000)));
            ended = ready > 0;
        } else {
            siginfo_t info{};
            ended =
                ::waitid(P_PID, id_t(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child;
            if (!ended)
                ::usleep(10'000);
        }
    }
    if (handle >= 0)
        ::close(handle);
    {
        const std::lock_guard lock(runningGroups().mutex);
        ::kill(-child, SIGKILL);
        runningGroups().groups.erase(child);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The picture at `path` when it is a regular file of at most `sizeLimit` bytes holding a picture,
// decoded at most `side` pixels on its longest side.
std::optional<QImage> readOutput(const QString &path, qint64 sizeLimit, int side) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size <= 0 || status.st_size > sizeLimit)
        return std::nullopt;
    QImageReader reader(path);
    reader.setAllocationLimit(kDecodeAllocationLimitMegabytes);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return std::nullopt;
    if (size.width() > side || size.height() > side)
        reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace

std::optional<DesktopThumbnailer> DesktopThumbnailer::fromEntry(const QString &name, const QByteArray &text) {
    bool inEntry = false;
    QString exec, tryExec;
    QStringList mimeTypes;
    for (const QString &rawLine : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Thumbnailer Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inEntry || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = unescapedValue(line.mid(equals + 1).trimmed());
        if (key == QLatin1String("Exec"))
            exec = value;
        else if (key == QLatin1String("TryExec"))
            tryExec = value;
        else if (key == QLatin1String("MimeType"))
            mimeTypes = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    const auto words = execWords(exec);
    if (!words || words->isEmpty() || mimeTypes.isEmpty())
        return std::nullopt;
    if (!tryExec.isEmpty() && installedProgram(tryExec).isEmpty())
        return std::nullopt;
    DesktopThumbnailer thumbnailer;
    thumbnailer.m_name = name;
    thumbnailer.m_program = installedProgram(words->front());
    if (thumbnailer.m_program.isEmpty())
        return std::nullopt;
    thumbnailer.m_arguments = words->mid(1);
    for (const QString &type : std::as_const(mimeTypes))
        thumbnailer.m_mimeTypes << type.trimmed();
    return thumbnailer;
}

std::vector<DesktopThumbnailer> DesktopThumbnailer::installed() {
    std::vector<DesktopThumbnailer> thumbnailers;
    QSet<QString> seen;
    for (const QString &dataFolder : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QDir folder(dataFolder + QStringLiteral("/thumbnailers"));
        const QStringList names =
            folder.entryList({QStringLiteral("*.thumbnailer")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QString &fileName : names) {
            if (seen.contains(fileName))
                continue;
            seen.insert(fileName);
            QFile file(folder.filePath(fileName));
            // Entries are a few hundred bytes; a larger file is no entry.
            if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024)
                continue;
            if (auto thumbnailer = fromEntry(fileName.chopped(12), file.readAll()))
                thumbnailers.push_back(std::move(*thumbnailer));
        }
    }
    return thumbnailers;
}

std::optional<DesktopThumbnailer> DesktopThumbnailer::forContentType(const QString &contentType) {
    const QMimeType type = QMimeDatabase().mimeTypeForName(contentType);
    QStringList names{contentType};
    if (type.isValid())
        names << type.name() << type.aliases();
    for (auto &thumbnailer : installed()) {
        for (const QString &name : std::as_const(names)) {
            if (thumbnailer.m_mimeTypes.contains(name, Qt::CaseInsensitive))
                return std::move(thumbnailer);
        }
    }
    return std::nullopt;
}

std::vector<QByteArray> DesktopThumbnailer::commandLine(const QByteArray &path, const QUrl &url,
                                                        const QByteArray &output, int side) const {
    std::vector<QByteArray> command{m_program};
    for (const QString &word : m_arguments) {
        // A word that is only an unknown field code stands for nothing.
        if (word.size() == 2 && word.startsWith(QLatin1Char('%')) &&
            !QStringLiteral("iuos%").contains(word.at(1)))
            continue;
        QByteArray argument;
        QString literal;
        for (qsizetype index = 0; index < word.size(); ++index) {
            if (word.at(index) != QLatin1Char('%') || index + 1 == word.size()) {
                literal += word.at(index);
                continue;
            }
            argument += literal.toUtf8();
            literal.clear();
            switch (word.at(++index).unicode()) {
            case 'i':
                argument += path;
                break;
            case 'u':
                argument += url.toEncoded();
                break;
            case 'o':
                argument += output;
                break;
            case 's':
                argument += QByteArray::number(side);
                break;
            case '%':
                argument += '%';
                break;
            default:
                break;
            }
        }
        command.push_back(argument + literal.toUtf8());
    }
    return command;
}

std::optional<QImage> DesktopThumbnailer::run(const QByteArray &path, const QUrl &url, int side,
                                              const ThumbnailerLimits &limits) const {
    struct stat status {};
    if (side <= 0 || ::stat(path.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    // The picture is written into a folder only we can reach, then read from there.
    QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/kestrova-thumbnail-XXXXXX";
    if (!::mkdtemp(folder.data()))
        return std::nullopt;
    const QByteArray output = folder + "/thumbnail.png";
    std::optional<QImage> picture;
    if (runBounded(commandLine(path, url, output, side), limits))
        picture = readOutput(QFile::decodeName(output), limits.outputSizeLimit, side);
    QDir(QFile::decodeName(folder)).removeRecursively();
    return picture;
}

} // namespace kestrova

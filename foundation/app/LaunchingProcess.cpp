// The launching process from the /proc process table, on Linux.
#include "LaunchingProcess.h"

#include "foundation/files/FileReading.h"

#include <QFile>

#include <unistd.h>

#include <cerrno>
#include <climits>

namespace kestrova {
namespace {

// Deeper than any real process tree; stops a walk over a table that changes under it.
constexpr int kMaximumDepth = 4096;
// Far longer than any process record.
constexpr qsizetype kMaximumRecordSize = 64 * 1024;

QByteArray recordPath(std::int32_t process, const QByteArray &procRoot, const char *file) {
    return procRoot + '/' + QByteArray::number(process) + '/' + file;
}

// "pid (comm) state ppid …": the command name may itself hold spaces and parentheses, so the fields are
// counted from the last ")".
struct StatRecord {
    QByteArray name;
    std::int32_t parent;
};

std::optional<StatRecord> readStat(std::int32_t process, const QByteArray &procRoot) {
    const auto contents = readRegularFile(recordPath(process, procRoot, "stat"), kMaximumRecordSize);
    if (!contents)
        return std::nullopt;
    const qsizetype open = contents->indexOf('(');
    const qsizetype close = contents->lastIndexOf(')');
    if (open < 0 || close < open)
        return std::nullopt;
    const QList<QByteArray> fields = contents->mid(close + 1).simplified().split(' ');
    if (fields.size() < 2)
        return std::nullopt;
    bool isNumber = false;
    const int parent = fields.at(1).toInt(&isNumber);
    if (!isNumber || parent < 0)
        return std::nullopt;
    return StatRecord{contents->mid(open + 1, close - open - 1), parent};
}

bool isServiceManager(std::int32_t process, const QByteArray &procRoot) {
    const auto record = readStat(process, procRoot);
    return record && record->name == "systemd";
}

} // namespace

std::optional<std::int32_t> LaunchingProcess::parentProcessID(std::int32_t process,
                                                              const QByteArray &procRoot) {
    const auto record = readStat(process, procRoot);
    return record ? std::optional(record->parent) : std::nullopt;
}

std::optional<std::int32_t> LaunchingProcess::rootProcessID(std::int32_t start, const QByteArray &procRoot) {
    if (start <= 1)
        return std::nullopt;
    std::int32_t current = start;
    for (int depth = 0; depth < kMaximumDepth; ++depth) {
        const auto parent = parentProcessID(current, procRoot);
        if (!parent)
            return start;
        if (*parent <= 1 || isServiceManager(*parent, procRoot))
            return current;
        current = *parent;
    }
    return start;
}

std::optional<RunningProcess> LaunchingProcess::runningProcess(std::int32_t process,
                                                               const QByteArray &procRoot) {
    const auto record = readStat(process, procRoot);
    if (!record)
        return std::nullopt;
    RunningProcess result{process, QString::fromUtf8(record->name), {}};
    char target[PATH_MAX];
    const QByteArray link = recordPath(process, procRoot, "exe");
    const ssize_t length = ::readlink(link.constData(), target, sizeof target);
    if (length > 0 && size_t(length) < sizeof target)
        result.executablePath = QByteArray(target, length);
    return result;
}

std::optional<std::int32_t> LaunchingProcess::processID() {
    static const std::optional<std::int32_t> identifier = rootProcessID(::getppid());
    return identifier;
}

std::optional<RunningProcess> LaunchingProcess::application() {
    const auto identifier = processID();
    return identifier ? runningProcess(*identifier) : std::nullopt;
}

} // namespace kestrova

#include "ProgramCodePages.h"

#include <QByteArray>
#include <QFile>

#include <sys/mman.h>

#include <algorithm>
#include <vector>

namespace kestrova::ProgramCodePages {
namespace {

struct CodeMapping {
    quintptr start = 0;
    quintptr end = 0;
    // Where the mapping's entry in /proc/self/smaps starts, for its resident size.
    QByteArray header;
};

// The executable's code mappings: private, readable and executable, never writable, of the program's
// own file. A relocated or written page is writable or was; code pages of the program never are.
std::vector<CodeMapping> codeMappings() {
    std::vector<CodeMapping> mappings;
    const QByteArray program = QFile::encodeName(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (program.isEmpty() || !maps.open(QIODevice::ReadOnly))
        return mappings;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        // "start-end perms offset device inode path"
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] != "r-xp")
            continue;
        // A path holding spaces comes back as several fields.
        const qsizetype pathStart = line.indexOf('/');
        if (pathStart < 0 || line.mid(pathStart) != program)
            continue;
        const QList<QByteArray> range = fields[0].split('-');
        bool startRead = false;
        bool endRead = false;
        const CodeMapping mapping{range.value(0).toULongLong(&startRead, 16),
                                  range.value(1).toULongLong(&endRead, 16), fields[0] + ' '};
        if (startRead && endRead && mapping.end > mapping.start)
            mappings.push_back(mapping);
    }
    return mappings;
}

} // namespace

qint64 residentBytes() {
    const std::vector<CodeMapping> mappings = codeMappings();
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (mappings.empty() || !smaps.open(QIODevice::ReadOnly))
        return 0;
    qint64 kilobytes = 0;
    bool inCode = false;
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        // A mapping's line begins with its address in lower-case hex; its fields with a capital.
        const char first = line.isEmpty() ? '\0' : line.front();
        if ((first >= '0' && first <= '9') || (first >= 'a' && first <= 'f')) {
            inCode = std::any_of(mappings.cbegin(), mappings.cend(),
                                 [&](const CodeMapping &mapping) { return line.startsWith(mapping.header); });
        } else if (inCode && line.startsWith("Rss:")) {
            kilobytes += line.mid(4).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return kilobytes * 1024;
}

qint64 release() {
    qint64 released = 0;
    for (const CodeMapping &mapping : codeMappings()) {
        // Clean file pages of a private mapping: dropping them loses nothing, the next use reads them from
        // the file's cached pages again.
        void *const start = reinterpret_cast<void *>(mapping.start);
        const std::size_t length = mapping.end - mapping.start;
        if (::madvise(start, length, MADV_DONTNEED) == 0)
            released += qint64(length);
    }
    return released;
}

} // namespace kestrova::ProgramCodePages

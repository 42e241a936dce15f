#include "ContentTypes_p.h"

#include <QHash>
#include <QFile>
#include <QMimeDatabase>
#include <QStandardPaths>

#include <QStringList>

#include <mutex>

#include <fnmatch.h>

namespace kestrova {

namespace {

// Enough for every extension a person's folders hold; names without one, and odd extensions such as a
// version number's, are as many as the folders have entries, so the memory is emptied when it fills
// instead of growing with each large folder listed.
constexpr qsizetype kRememberedKinds = 4096;

struct RememberedKinds {
    std::mutex mutex;
    QHash<QString, QString> byKey;
};

RememberedKinds &remembered() {
    static RememberedKinds kinds;
    return kinds;
}

// The type database's patterns that can match a name without a dot ("makefile", "readme*", "*~"): a
// dozen or two. A name that none of them matches has the default type, which saves asking the database,
// whose wildcard matching builds a regular expression per pattern and per name. They are read from the
// database's own list of patterns, as its text source holds them: asking the database for every type's
// patterns would make it read and keep every type's full description. Matched without regard to case, so
// as to let through every name that a case-sensitive pattern would. Without the list every name is asked
// about.
class DotlessPatterns {
public:
    DotlessPatterns() {
        const QStringList lists =
            QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("mime/globs2"));
        for (const QString &list : lists) {
            QFile file(list);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            m_isKnown = true;
            // "weight:type:pattern[:flags]"
            while (!file.atEnd()) {
                const QByteArray line = file.readLine().trimmed();
                if (line.isEmpty() || line.startsWith('#'))
                    continue;
                const QList<QByteArray> fields = line.split(':');
                if (fields.size() < 3 || fields[2].isEmpty() || fields[2].contains('.'))
                    continue;
                // Only "*" wildcards are matched here, on case-folded text; anything else goes to fnmatch.
                const QByteArray &pattern = fields[2];
                if (pattern.contains('?') || pattern.contains('[') || pattern.contains('\\'))
                    m_otherPatterns.push_back(pattern);
                else
                    m_starPatterns.push_back(QString::fromUtf8(pattern).toCaseFolded());
            }
        }
    }

    bool mayMatch(const QString &fileName) const {
        if (!m_isKnown)
            return true;
        for (const QString &pattern : m_starPatterns) {
            if (matchesIgnoringCase(pattern, fileName))
                return true;
        }
        if (m_otherPatterns.empty())
            return false;
        const QByteArray name = fileName.toUtf8();
        for (const QByteArray &pattern : m_otherPatterns) {
            if (fnmatch(pattern.constData(), name.constData(), FNM_CASEFOLD) == 0)
                return true;
        }
        return false;
    }

private:
    // Whether `name` matches `pattern`, already case-folded, whose only wildcard is "*". Asked for every
    // name without a dot in a listing, so it makes no text and converts nothing: fnmatch would convert
    // both to wide characters on every call.
    static bool matchesIgnoringCase(QStringView pattern, QStringView name) {
        qsizetype patternIndex = 0;
        qsizetype nameIndex = 0;
        qsizetype star = -1;
        qsizetype resumeAt = 0;
        while (nameIndex < name.size()) {
            if (patternIndex < pattern.size() && pattern[patternIndex] == QLatin1Char('*')) {
                star = patternIndex++;
                resumeAt = nameIndex;
            } else if (patternIndex < pattern.size() &&
                       pattern[patternIndex] == name[nameIndex].toCaseFolded()) {
                ++patternIndex;
                ++nameIndex;
            } else if (star >= 0) {
                // The last "*" takes one more character.
                patternIndex = star + 1;
                nameIndex = ++resumeAt;
            } else {
                return false;
            }
        }
        while (patternIndex < pattern.size() && pattern[patternIndex] == QLatin1Char('*'))
            ++patternIndex;
        return patternIndex == pattern.size();
    }

    bool m_isKnown = false;
    std::vector<QString> m_starPatterns;
    std::vector<QByteArray> m_otherPatterns;
};

} // namespace

QString contentTypeNameForFileName(const QString &fileName) {
    auto &[mutex, byKey] = remembered();
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        static const DotlessPatterns dotless;
        if (!dotless.mayMatch(fileName))
            return QStringLiteral("application/octet-stream");
    }
    // A leading dot is a hidden name, not an extension.
    const QString key = dot > 0 ? fileName.mid(dot).toLower() : fileName;
    {
        const std::lock_guard lock(mutex);
        const auto found = byKey.constFind(key);
        if (found != byKey.constEnd())
            return *found;
    }
    const QString type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name();
    const std::lock_guard lock(mutex);
    if (byKey.size() >= kRememberedKinds)
        byKey = {};
    byKey.insert(key, type);
    return type;
}

qsizetype rememberedContentTypeCount() {
    auto &kinds = remembered();
    const std::lock_guard lock(kinds.mutex);
    return kinds.byKey.size();
}

} // namespace kestrova

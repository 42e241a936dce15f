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
                if (fields.size() >= 3 && !fields[2].isEmpty() && !fields[2].contains('.'))
                    m_patterns.push_back(fields[2]);
            }
        }
    }

    bool mayMatch(const QString &fileName) const {
        if (!m_isKnown)
            return true;
        const QByteArray name = fileName.toUtf8();
        for (const QByteArray &pattern : m_patterns) {
            if (fnmatch(pattern.constData(), name.constData(), FNM_CASEFOLD) == 0)
                return true;
        }
        return false;
    }

private:
    bool m_isKnown = false;
    std::vector<QByteArray> m_patterns;
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

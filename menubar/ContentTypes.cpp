#include "ContentTypes_p.h"

#include <QHash>
#include <QMimeDatabase>

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

// The type database's patterns that can match a name without a dot ("Makefile", "README*", "*~"): a
// dozen or two. A name that none of them matches has the default type, which saves asking the database,
// whose wildcard matching builds a regular expression per pattern and per name. Matched without regard to
// case, so as to let through every name that a case-sensitive pattern would.
class DotlessPatterns {
public:
    DotlessPatterns() {
        for (const QMimeType &type : QMimeDatabase().allMimeTypes()) {
            for (const QString &pattern : type.globPatterns()) {
                if (!pattern.contains(QLatin1Char('.')))
                    m_patterns.push_back(pattern.toUtf8());
            }
        }
    }

    bool mayMatch(const QString &fileName) const {
        const QByteArray name = fileName.toUtf8();
        for (const QByteArray &pattern : m_patterns) {
            if (fnmatch(pattern.constData(), name.constData(), FNM_CASEFOLD) == 0)
                return true;
        }
        return false;
    }

private:
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

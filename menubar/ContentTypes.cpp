#include "ContentTypes_p.h"

#include <QHash>
#include <QMimeDatabase>

#include <mutex>

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

} // namespace

QString contentTypeNameForFileName(const QString &fileName) {
    auto &[mutex, byKey] = remembered();
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
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

#include "ContentTypes_p.h"

#include <QHash>
#include <QMimeDatabase>

#include <mutex>

namespace kestrova {

QString contentTypeNameForFileName(const QString &fileName) {
    static std::mutex mutex;
    static QHash<QString, QString> byKey;
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
    byKey.insert(key, type);
    return type;
}

} // namespace kestrova

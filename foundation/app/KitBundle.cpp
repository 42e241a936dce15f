#include "KitBundle.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace kestrova {

const QString &KitBundle::path() {
    static const QString folder = [] {
        // /proc/self/exe names the executable even when no application object exists yet.
        const QFileInfo executable(QStringLiteral("/proc/self/exe"));
        const QString target = executable.canonicalFilePath();
        if (!target.isEmpty())
            return QFileInfo(target).absolutePath();
        return QCoreApplication::applicationDirPath();
    }();
    return folder;
}

} // namespace kestrova

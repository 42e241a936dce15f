#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace kestrova::testing {

// Desktop entries for the test process's own registry: the test main points XDG_DATA_HOME and
// XDG_CONFIG_HOME at a temporary folder, and GIO reads the registry there when it is first asked.
inline QString applicationsFolder() {
    const QString folder = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/applications");
    QDir().mkpath(folder);
    return folder;
}

inline QString writeTextFile(const QString &path, const QByteArray &contents, bool executable = false) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner);
    return path;
}

// A program that writes its first argument, byte for byte, to `output`.
inline QString writeRecorder(const QString &folder, const QString &output) {
    return writeTextFile(folder + QStringLiteral("/record.sh"),
                         "#!/bin/sh\nprintf '%s' \"$1\" > '" + QFile::encodeName(output) + "'\n",
                         /*executable=*/true);
}

// Records that the entries open `mimeType`: GIO reads these links from the folder's cache, not from the
// entries' own MimeType lines.
inline void registerApplications(const QByteArray &mimeType, const QByteArray &desktopFileIds) {
    QFile cache(applicationsFolder() + QStringLiteral("/mimeinfo.cache"));
    ASSERT_TRUE(cache.open(QIODevice::Append));
    if (cache.size() == 0)
        cache.write("[MIME Cache]\n");
    cache.write(mimeType + '=' + desktopFileIds + '\n');
}

// Makes `desktopFileId` the user's default for the MIME type (or scheme handler type).
inline void setDefaultApplication(const QByteArray &mimeType, const QByteArray &desktopFileId) {
    const QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    QDir().mkpath(config);
    QFile list(config + QStringLiteral("/mimeapps.list"));
    ASSERT_TRUE(list.open(QIODevice::Append));
    list.write("[Default Applications]\n" + mimeType + '=' + desktopFileId + '\n');
}

} // namespace kestrova::testing

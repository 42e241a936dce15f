#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace kestrova::testing {

// Desktop entries for the test process's own registry: the test main points XDG_DATA_HOME and
// XDG_CONFIG_HOME at a temporary folder, and GIO reads the registry there when it is first asked. GIO then
// keeps what it read for the whole process and learns of later changes only through file monitors, which a
// machine short of inotify instances never delivers; so every entry, MIME link and default the tests use is
// written once, before any test runs (DesktopTestApplications), and no test depends on the order they run
// in.
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

// The applications "org.example.Writer", "org.example.Browser" and "org.gnome.Evolution" run a program
// that writes its first argument, byte for byte, to the file this names; each test names its own.
inline QString recordArgumentInto(const QString &output) {
    qputenv("KESTROVA_TEST_RECORD", QFile::encodeName(output));
    return output;
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

// The registry every workspace test reads (see the top of this file):
// - text/plain: org.example.Reader (the default; icon "accessories-text-editor"), org.example.Writer (records
//   its argument), org.example.Broken (its program does not exist);
// - x-scheme-handler/https: org.example.Browser (the default; records its argument);
// - x-scheme-handler/mailto: org.gnome.Evolution (the default; records its argument);
// - shown by name, opening nothing: "zebra Paint", "Atlas", "mail Reader"; hidden: org.example.Hidden.
class DesktopTestApplications : public ::testing::Environment {
public:
    void SetUp() override {
        const QString applications = applicationsFolder();
        const QByteArray recorder = QFile::encodeName(writeTextFile(
            applications + QStringLiteral("/../record.sh"),
            "#!/bin/sh\nprintf '%s' \"$1\" > \"$KESTROVA_TEST_RECORD\"\n", /*executable=*/true));
        const auto entry = [&](const char *id, const QByteArray &lines) {
            writeTextFile(applications + QLatin1Char('/') + QString::fromLatin1(id) +
                              QStringLiteral(".desktop"),
                          "[Desktop Entry]\nType=Application\n" + lines);
        };
        entry("org.example.Writer", "Name=Writer\nMimeType=text/plain;\nExec=" + recorder + " %f\n");
        entry("org.example.Reader",
              "Name=Reader\nIcon=accessories-text-editor\nMimeType=text/plain;\nExec=true %f\n");
        entry("org.example.Broken",
              "Name=Broken\nMimeType=text/plain;\nExec=/nonexistent/kestrova-test-program %f\n");
        entry("org.example.Browser",
              "Name=Browser\nMimeType=x-scheme-handler/https;\nExec=" + recorder + " %u\n");
        entry("org.gnome.Evolution",
              "Name=Mail\nMimeType=x-scheme-handler/mailto;\nExec=" + recorder + " %u\n");
        for (const char *name : {"zebra Paint", "Atlas", "mail Reader"})
            entry(QByteArray("org.example.").append(QByteArray(name).replace(' ', "")).constData(),
                  QByteArray("Name=") + name + "\nExec=true %U\n");
        entry("org.example.Hidden", "Name=Hidden\nExec=true\nNoDisplay=true\n");
        registerApplications(
            "text/plain",
            "org.example.Writer.desktop;org.example.Reader.desktop;org.example.Broken.desktop;");
        registerApplications("x-scheme-handler/https", "org.example.Browser.desktop;");
        registerApplications("x-scheme-handler/mailto", "org.gnome.Evolution.desktop;");
        setDefaultApplication("text/plain", "org.example.Reader.desktop");
        setDefaultApplication("x-scheme-handler/https", "org.example.Browser.desktop");
        setDefaultApplication("x-scheme-handler/mailto", "org.gnome.Evolution.desktop");
    }
};

} // namespace kestrova::testing

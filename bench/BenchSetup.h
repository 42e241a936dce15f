#pragma once

#include "menubar/FolderController.h"
#include "store/BookmarkData.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QUuid>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::bench {

// Points the settings and icon caches of this process at `home`, a throwaway folder, never the user's; and
// the offscreen platform unless told otherwise. Before the application object is made.
inline void useThrowawayHome(const QTemporaryDir &home) {
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/.local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/.cache")));
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    mkdir(QFile::encodeName(runtime).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Fills `directory` with `count` empty entries named "Entry N" with a few extensions, one in twenty a folder
// holding three files.
inline void fillFolder(const QString &directory, int count) {
    static const char *const extensions[] = {".txt", ".png", ".pdf", ".md", ".cpp", ".jpg", ""};
    for (int index = 0; index < count; ++index) {
        const QString name = QStringLiteral("%1/Entry %2%3")
                                 .arg(directory)
                                 .arg(index)
                                 .arg(QLatin1String(extensions[index % 7]));
        if (index % 20 == 0) {
            mkdir(QFile::encodeName(name).constData(), 0755);
            // A few entries in each subfolder, for opening one.
            for (const char *inside : {"/a.txt", "/b.png", "/c.pdf"})
                close(open(QFile::encodeName(name + QLatin1String(inside)).constData(),
                           O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
            continue;
        }
        close(open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }
}

// A folder of the application's for `url`, with its controller, kept here.
struct BenchFolder {
    explicit BenchFolder(const QUrl &url)
        : folder(QUuid::createUuid(), SandboxURLBookmark(BookmarkData::create(url)))
        , folders{folder}
        , controller(FolderController::create(
              platform::Binding<Folder>([this] { return folder; },
                                        [this](const Folder &value) { folder = value; }),
              platform::Binding<std::vector<Folder>>(
                  [this] { return folders; },
                  [this](const std::vector<Folder> &value) { folders = value; }))) {}
    BenchFolder(const BenchFolder &) = delete;
    BenchFolder &operator=(const BenchFolder &) = delete;

    Folder folder;
    std::vector<Folder> folders;
    std::shared_ptr<FolderController> controller;
};

} // namespace kestrova::bench

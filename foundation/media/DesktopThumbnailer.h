#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <optional>
#include <vector>

namespace kestrova {

// How far a thumbnailer may go before it is stopped and its work ignored.
struct ThumbnailerLimits {
    // Wall-clock time until the thumbnailer (and whatever it started) is killed.
    std::chrono::milliseconds timeLimit{3000};
    // The largest picture file it may write; writing more stops it.
    qint64 outputSizeLimit = 16LL * 1024 * 1024;
    // The address space it may take: a document made to exhaust memory fails inside it instead.
    qint64 memoryLimit = 1024LL * 1024 * 1024;
};

// A thumbnailer that the desktop has installed: a program named by a ".thumbnailer" entry in the
// "thumbnailers" folder of the user's data folder or of one of the system's data folders, which draws
// a picture of files of the types it lists. An entry in an earlier folder hides one of the same file
// name in a later folder, and for each type the first entry (by folder, then file name) that lists it is
// the one used. Entries whose program is not installed are left out.
class DesktopThumbnailer {
public:
    // The entries installed now, read afresh on each call.
    static std::vector<DesktopThumbnailer> installed();
    // The thumbnailer for files of the MIME type `contentType` (or one of its aliases), or none.
    static std::optional<DesktopThumbnailer> forContentType(const QString &contentType);
    // Reads one entry; nothing when it is no thumbnailer entry or its program is not installed.
    static std::optional<DesktopThumbnailer> fromEntry(const QString &name, const QByteArray &text);

    // The entry's file name without ".thumbnailer".
    const QString &name() const { return m_name; }
    const QStringList &mimeTypes() const { return m_mimeTypes; }

    // The program and its arguments for one run, the entry's field codes replaced: %i the file's path, %u
    // its URI, %o the picture to write, %s the size in pixels, %% a percent sign.
    std::vector<QByteArray> commandLine(const QByteArray &path, const QUrl &url, const QByteArray &output,
                                        int side) const;

    // Runs the thumbnailer on the regular file at `path` (started directly, never through a shell, with
    // no input, its output discarded) and reads the picture it wrote, at most `side` pixels on its longest
    // side. Nothing when it fails, writes no picture or something that is no picture, or goes past a limit:
    // it is then killed together with every process it started.
    std::optional<QImage> run(const QByteArray &path, const QUrl &url, int side,
                              const ThumbnailerLimits &limits = {}) const;

private:
    QString m_name;
    QByteArray m_program;
    QStringList m_arguments; // the Exec line after the program, field codes not yet replaced
    QStringList m_mimeTypes;
};

} // namespace kestrova

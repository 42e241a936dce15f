#pragma once

#include "platform/values/Date.h"

#include <QFont>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace kestrova {

// What the information rows of a file's submenu say about it.
struct FileFacts {
    std::optional<QString> contentType;     // the MIME type name
    std::optional<QString> kindDescription; // the type's description ("PNG image")
    std::optional<qint64> fileSize;         // regular files only
    std::optional<QSize> dimensions;        // pixel size of an image, displayed size of a movie
    std::optional<platform::Date> accessDate;
    std::optional<platform::Date> addedDate;
    std::optional<platform::Date> modificationDate;
    std::optional<platform::Date> creationDate;
};

// What the preview row of a file's submenu shows. No previewer exists that could show any kind of file, so
// a file is shown as its thumbnail, as text when it is a short text file, and otherwise by the drag handle.
struct FilePreviewContent {
    enum class Kind { dragHandle, picture, text };
    Kind kind = Kind::dragHandle;
    // Whether the type is one shown through its picture (images, movies, audio, programs, archives,
    // presentations) rather than previewed.
    bool shouldUseImage = false;
    QImage thumbnail;
    QString text;
};

// The longest side of a preview in points, and the longest text file shown as text.
inline constexpr int kPreviewSide = 400;
inline constexpr qint64 kPreviewTextLimit = 4096;
// How long the rows wait for the disk before they give up and show what they have.
inline constexpr std::chrono::milliseconds kFileDetailsTimeLimit{2000};

// Whether a file of the MIME type `contentType` and the name suffix `suffix` is shown through its picture:
// images, movies, audio, executables, zip archives and presentations, but not ".ts" files (mostly
// TypeScript sources that the type database takes for video streams).
bool shouldUseImage(const QString &contentType, const QString &suffix);

// The height of the preview box in points: a text of at most 1999 bytes is measured in `font` at the
// preview's width, plus 40, within 20 to 400; anything else is the width over its aspect ratio, at most 400,
// and 400 when there is no usable ratio (absent, zero, negative or not finite).
double previewHeight(const std::optional<QString> &text, qint64 fileSize, std::optional<double> aspectRatio,
                     const QFont &font);

// Reads the facts of the file. Blocks on the disk: worker threads only. Nothing opens a FIFO or a device.
FileFacts readFileFacts(const QUrl &url);
// Reads the pixel size and the preview of the file, making the thumbnail (`fitting` pixels at most) from
// an image when the desktop's cache has none and storing it there. Blocks on the disk: worker threads only.
void readFilePreview(const QUrl &url, FileFacts &facts, FilePreviewContent &preview, QSize fitting);

// How FileDetails reads a file; tests replace it.
struct FileDetailsReader {
    std::function<FileFacts(const QUrl &)> facts = readFileFacts;
    std::function<void(const QUrl &, FileFacts &, FilePreviewContent &, QSize fitting)> preview =
        readFilePreview;
};

// The facts and the preview of one file, read once on a worker thread and shared by the rows of its submenu.
// Both arrive on the main thread with `changed`; when the disk has not answered within the time limit
// (a stalled mount), the object stops waiting, keeps what it has, and later answers are dropped. Main
// thread only; the worker holds no reference to it.
class FileDetails : public QObject {
    Q_OBJECT

public:
    using Reader = FileDetailsReader;

    // Starts reading at once.
    static std::shared_ptr<FileDetails>
    load(const QUrl &url, std::chrono::milliseconds timeLimit = kFileDetailsTimeLimit, Reader reader = {});

    const QUrl &url() const { return m_url; }
    // Absent until read.
    const std::optional<FileFacts> &facts() const { return m_facts; }
    const std::optional<FilePreviewContent> &preview() const { return m_preview; }
    // True once everything was read or the time ran out.
    bool isFinished() const { return m_isFinished; }
    bool didTimeOut() const { return m_didTimeOut; }

Q_SIGNALS:
    void changed();

private:
    explicit FileDetails(QUrl url);
    void receiveFacts(FileFacts facts);
    void receivePreview(FileFacts facts, FilePreviewContent preview);
    void giveUp();

    QUrl m_url;
    std::optional<FileFacts> m_facts;
    std::optional<FilePreviewContent> m_preview;
    bool m_isFinished = false;
    bool m_didTimeOut = false;
};

} // namespace kestrova

#pragma once

#include "platform/values/Image.h"

#include <QImage>
#include <QSizeF>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class QObject;

namespace kestrova {

// Turns a file the user chose into a status-item picture 16 points high. Only PNG and HEIC files are read;
// whatever else the file is (another format, damaged, empty, enormous, animated, not a regular file at all)
// is refused with a reason and nothing is made. A file is read without following it into devices or pipes,
// and decoded off the main thread with limits on its size and on the time taken.
class CustomIconImport {
public:
    static constexpr qint64 kMaximumFileBytes = 32 * 1024 * 1024;
    // A picture larger than this on either side, or in area, is refused before it is decoded.
    static constexpr int kMaximumSide = 8192;
    static constexpr qint64 kMaximumPixels = qint64(4096) * 4096;
    static constexpr std::chrono::milliseconds kTimeLimit{10000};
    static constexpr double kHeight = 16;
    static constexpr double kMaximumWidth = 40;

    // The title of every refusal.
    static QString errorTitle() { return QStringLiteral("Could not read image."); }

    struct Result {
        std::optional<platform::Image> image;
        // Why the file was refused, for the alert's message; empty for a file that is simply no readable
        // image (the title says it all).
        QString reason;
        bool isSuccess() const { return image.has_value(); }
    };

    // The size an image of `size` points is redrawn at: 16 points high, and as wide as that makes it but at
    // most 40 (a wider one is squeezed). Nothing for an image without width or height.
    static std::optional<QSizeF> targetSize(const QSizeF &size);

    // Reads, decodes and redraws the file at `path`; runs on any thread, blocks.
    static Result importFile(const QString &path);
    using Importer = std::function<Result(const QString &path)>;
    // The same off the main thread (with `importer`, importFile unless given); `completion` runs on the main
    // thread once, with the result or with a refusal when the time limit passes first (the late result is
    // then dropped). Nothing runs when `context` is gone.
    static void start(const QString &path, QObject *context, std::function<void(const Result &)> completion,
                      std::chrono::milliseconds timeLimit = kTimeLimit, Importer importer = {});

    // The redrawn picture for already decoded `pixels` (exposed for the rule's callers and tests).
    static Result redraw(const QImage &pixels);
};

} // namespace kestrova

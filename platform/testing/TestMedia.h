#pragma once

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>

#include <functional>

namespace kestrova::testing {

// A short movie for tests, encoded with the media library: `frameCount` frames at 25 frames a second, each
// pixel coloured by `colorAt` (frame number, x, y), the track turned `rotationDegrees` clockwise for
// showing through the container's display matrix (90: a portrait recording). The container follows the
// file's extension (".mp4", ".mkv", ".avi"). False when it cannot be written. The media library's decoder
// of this format gives no picture for a movie of a single frame: write two or more.
struct TestMovie {
    QSize size{64, 36};
    int frameCount = 10;
    int rotationDegrees = 0;
    std::function<QColor(int frame, int x, int y)> colorAt = [](int, int, int) { return QColor(Qt::red); };
};
bool writeTestMovie(const QString &path, const TestMovie &movie = {});

// A one-page PDF with a filled rectangle and a line of text.
bool writeTestPdf(const QString &path);

// A PNG whose header claims `width` × `height` pixels (with a valid checksum) but which holds the data of a
// tiny picture.
QByteArray pngClaiming(quint32 width, quint32 height);

} // namespace kestrova::testing

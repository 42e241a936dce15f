// Writes the media files that the end-to-end runs put into a folder, made the way the unit tests make them:
//   kestrova_make_test_media movie PATH WIDTH HEIGHT [ROTATION]   a two-second movie, a coloured frame
//   kestrova_make_test_media pdf PATH                             a one-page document
#include "platform/testing/TestMedia.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    bool written = false;
    if (arguments.size() >= 4 && arguments[0] == QLatin1String("movie")) {
        kestrova::testing::TestMovie movie;
        movie.size = QSize(arguments[2].toInt(), arguments[3].toInt());
        movie.rotationDegrees = arguments.value(4).toInt();
        movie.frameCount = 50;
        // An orange picture with a dark band across its top, so that a turned frame shows which way it went.
        movie.colorAt = [height = movie.size.height()](int, int, int y) {
            return y < height / 4 ? QColor(40, 40, 90) : QColor(240, 150, 30);
        };
        written = kestrova::testing::writeTestMovie(arguments[1], movie);
    } else if (arguments.size() == 2 && arguments[0] == QLatin1String("pdf")) {
        written = kestrova::testing::writeTestPdf(arguments[1]);
    } else {
        std::fprintf(stderr,
                     "usage: kestrova_make_test_media movie PATH WIDTH HEIGHT [ROTATION] | pdf PATH\n");
        return 2;
    }
    if (!written)
        std::fprintf(stderr, "kestrova_make_test_media: could not write %s\n", argv[2]);
    return written ? 0 : 1;
}

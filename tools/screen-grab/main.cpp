// Saves the whole screen of $DISPLAY as a PNG: kestrova-screen-grab FILE.png [X Y WIDTH HEIGHT]
//
// With a rectangle, also prints its pixels, one row a line, each as rrggbb, for a rig to check what is
// drawn there.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char **argv) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 2 && arguments.size() != 6)
        return 2;
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    if (!screen.save(arguments.at(1)))
        return 1;
    if (arguments.size() == 6) {
        const QRect area(arguments.at(2).toInt(), arguments.at(3).toInt(), arguments.at(4).toInt(),
                         arguments.at(5).toInt());
        if (!screen.rect().contains(area))
            return 2;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x)
                std::printf(x == area.left() ? "%06x" : " %06x", screen.pixel(x, y) & 0xffffff);
            std::printf("\n");
        }
    }
    return 0;
}

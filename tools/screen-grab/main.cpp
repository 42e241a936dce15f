// Saves the whole screen of $DISPLAY as a PNG: kestrova-screen-grab FILE.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

int main(int argc, char **argv) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 2)
        return 2;
    return QGuiApplication::primaryScreen()->grabWindow(0).save(arguments.at(1)) ? 0 : 1;
}

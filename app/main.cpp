#include "ApplicationStartup.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    kestrova::ApplicationStartup startup;
    return startup.exec();
}

#include "AppMain.h"

#include "ApplicationStartup.h"

#include <QApplication>

namespace kestrova {

int AppMain::main(int argc, char **argv) {
    QApplication application(argc, argv);
    AppDelegate delegate;
    return delegate.exec();
}

} // namespace kestrova

// The application's own start-up and exit, for the clean-exit tests. With KESTROVA_PROBE_RELAUNCH naming a
// file that does not exist yet, it creates the file and relaunches itself once the event loop runs (the
// relaunched instance finds the file and stays).
#include "app/ApplicationStartup.h"

#include "foundation/app/KvApp.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    kestrova::ApplicationStartup startup;
    const QString relaunchFlag = qEnvironmentVariable("KESTROVA_PROBE_RELAUNCH");
    if (!relaunchFlag.isEmpty() && !QFile::exists(relaunchFlag)) {
        QFile flag(relaunchFlag);
        if (flag.open(QIODevice::WriteOnly))
            flag.close();
        QTimer::singleShot(0, &application, [] { kestrova::KvApp::startRelaunch(); });
    }
    return startup.exec();
}

#include "platform/UserDefaults.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrova"));
    QApplication::setOrganizationDomain(QStringLiteral("kestrova.org"));
    QApplication::setDesktopFileName(
        QString::fromLatin1(kestrova::platform::UserDefaults::kApplicationIdentifier));
    // A tray application has no main window: closing a settings window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    kestrova::platform::UserDefaults::standard();
    std::fprintf(stderr, "Kestrova: the settings are loaded; no status items are built yet.\n");
    return QApplication::exec();
}

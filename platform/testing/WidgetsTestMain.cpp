// The main of test executables that show widgets: the same temporary home and offscreen platform as the
// plain test main, with a QApplication. Like the tray application, it stays up when its last window closes.
#include "platform/testing/TemporaryHome.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    kestrova::testing::TemporaryHome home;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}

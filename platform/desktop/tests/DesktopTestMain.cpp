// The main of the desktop tests: widgets need a QApplication, where the shared test main makes a
// QGuiApplication. Being defined here keeps the shared main out of the link.
#include "platform/testing/TemporaryHome.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    kestrova::testing::TemporaryHome home;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}

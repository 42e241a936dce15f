// The main of every test executable: a temporary home for the whole process, the offscreen platform,
// and a Qt application object so that Qt's event loop, file watchers and images work in tests.
#include "TemporaryHome.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    kestrova::testing::TemporaryHome home;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}

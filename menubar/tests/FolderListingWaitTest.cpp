// Quitting while a folder is listed slowly (a relaunch, a quit signal): nothing on the main thread waits
// for the listing, so the quit is not held up, and the listing's late end goes nowhere.
#include "menubar/FolderContentsLoader.h"

#include "FolderMenuTesting_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kestrova;

TEST(FolderListingWaitDeathTest, QuittingWhileASlowFolderIsListedIsNotHeldUp) {
    // The quit ends the event loops of the process: checked in a process of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("slow")));
    const QUrl directory = QUrl::fromLocalFile(root.filePath(QStringLiteral("slow")));
    EXPECT_EXIT(
        {
            kestrova::testing::StalledDirectories stalled("/slow");
            bool isDelivered = false;
            FolderContentsLoader::start({.directory = directory, .options = {}, .keepFoldersOnTop = false},
                                        [&](FolderListing) { isDelivered = true; });
            QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
            const int code = QCoreApplication::exec();
            const bool isStillListing = FolderContentsLoader::runningCount() == 1 && !isDelivered;
            stalled.release();
            // Without the fixture's wait for the stalled worker, which this process need not see end.
            std::_Exit(code == 0 && isStillListing ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// A folder menu that waits for a slow listing in a nested event loop, when the application quits in the
// middle (a relaunch, a quit signal): the wait ends at once and the menu gets an explanation.
#include "menubar/FolderContentsLoader.h"

#include "FolderMenuTesting_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kestrova;

TEST(FolderListingWaitDeathTest, QuittingWhileASlowFolderIsListedEndsTheWaitWithAnExplanation) {
    // The quit ends the event loops of the process: checked in a process of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("slow")));
    const QUrl directory = QUrl::fromLocalFile(root.filePath(QStringLiteral("slow")));
    EXPECT_EXIT(
        {
            kestrova::testing::StalledDirectories stalled("/slow");
            // Delivered by the loop that waits for the listing.
            QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
            const FolderListing listing = FolderContentsLoader::list(
                {.directory = directory, .options = {}, .keepFoldersOnTop = false});
            const bool explained = listing.error && !listing.timedOut && listing.entries.empty() &&
                                   listing.error->localizedDescription().contains(QStringLiteral("quitting"));
            stalled.release();
            // Without the fixture's wait for the stalled worker, which this process need not see end.
            std::_Exit(explained ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

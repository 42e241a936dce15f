#include "store/SecurityScopedBookmarkManager.h"

#include "foundation/files/FileUrl.h"
#include "foundation/errors/GeneralError.h"
#include "foundation/files/WellKnownFolders.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/ScriptedPresenters.h"
#include "store/BookmarkData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::testing::ScopedScriptedPresenters;

namespace {

class SecurityScopedBookmarkManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temporary.isValid());
        SecurityScopedBookmarkManager::userDefaultsKey().reset();
    }
    void TearDown() override { SecurityScopedBookmarkManager::userDefaultsKey().reset(); }

    QString path(const QString &relative) const {
        return QDir(m_temporary.path()).canonicalPath() + QLatin1Char('/') + relative;
    }
    QUrl folder(const QString &relative) {
        QDir().mkpath(path(relative));
        return url::fromLocalPath(QFile::encodeName(path(relative)), true);
    }

    QTemporaryDir m_temporary;
};

// Starts a second request from inside the first one's panel, as a queued event would.
class ReentrantPanelPresenter : public kestrova::testing::ScriptedOpenPanelPresenter {
public:
    int runModal(platform::OpenPanel &panel, QWindow *window) override {
        if (!nested) {
            nested = true;
            nestedResult = kestrova::testing::awaitTask(SecurityScopedBookmarkManager::requestAccess(panel.directoryUrl));
            nestedFinished = true;
        }
        return ScriptedOpenPanelPresenter::runModal(panel, window);
    }
    bool nested = false;
    bool nestedFinished = false;
    std::optional<QUrl> nestedResult;
};

} // namespace

TEST_F(SecurityScopedBookmarkManagerTest, GrantsOnceAndRenewsStaleBookmarks) {
    ScopedScriptedPresenters presenters;
    const QUrl exports = folder(QStringLiteral("Exports"));

    // A wrong pick is refused and the panel comes back; the right one is stored.
    presenters.openPanels().choose({folder(QStringLiteral("Other"))});
    presenters.openPanels().choose({exports});
    EXPECT_EQ(kestrova::testing::awaitTask(SecurityScopedBookmarkManager::requestAccess(exports)), exports);
    const auto &panels = presenters.openPanels().shownPanels();
    ASSERT_EQ(panels.size(), 2u);
    EXPECT_EQ(panels[0].title, QStringLiteral("Permission"));
    EXPECT_EQ(panels[0].message,
              QCoreApplication::applicationName() +
                  QStringLiteral(" needs access to the “Exports” folder. Click “Allow” to proceed."));
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1u);
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].messageText, QStringLiteral("Incorrect directory."));
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].informativeText,
              QStringLiteral("Select the directory “%1”.")
                  .arg(url::abbreviatingWithTildeInPath(path(QStringLiteral("Exports")))));
    EXPECT_EQ(SecurityScopedBookmarkManager::bookmarks().size(), 1u);

    // Next time no panel: a file inside the folder, and the folder through a symbolic link, share the entry.
    bool ran = false;
    kestrova::testing::awaitTask(SecurityScopedBookmarkManager::access(
        url::appendingPathComponent(exports, QStringLiteral("a.png")), [&] {
            ran = true;
            EXPECT_EQ(BookmarkData::accessCount(exports), 1);
        }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(BookmarkData::accessCount(exports), 0);
    ASSERT_TRUE(QFile::link(path(QStringLiteral("Exports")), path(QStringLiteral("Link"))));
    EXPECT_EQ(SecurityScopedBookmarkManager::mapKey(
                  url::fromLocalPath(QFile::encodeName(path(QStringLiteral("Link"))), true)),
              SecurityScopedBookmarkManager::mapKey(exports));
    EXPECT_EQ(SecurityScopedBookmarkManager::bookmarkURL(
                  url::fromLocalPath(QFile::encodeName(path(QStringLiteral("Link"))), true)),
              exports);
    EXPECT_EQ(panels.size(), 2u);

    // A replaced folder's bookmark is renewed and stored; the next look-up finds it fresh.
    const QByteArray old = *SecurityScopedBookmarkManager::bookmarkData(exports);
    folder(QStringLiteral("Exports.new"));
    QDir(path(QStringLiteral("Exports"))).removeRecursively();
    ASSERT_TRUE(QDir().rename(path(QStringLiteral("Exports.new")), path(QStringLiteral("Exports"))));
    EXPECT_EQ(SecurityScopedBookmarkManager::bookmarkURL(exports), exports);
    const QByteArray renewed = *SecurityScopedBookmarkManager::bookmarkData(exports);
    EXPECT_NE(renewed, old);
    EXPECT_FALSE(BookmarkData::resolve(renewed).isStale);

    // A folder that is gone asks again; cancelling runs nothing and shows nothing.
    QDir(path(QStringLiteral("Exports"))).removeRecursively();
    presenters.openPanels().cancel();
    ran = false;
    kestrova::testing::awaitTask(SecurityScopedBookmarkManager::access(exports, [&] { ran = true; }));
    EXPECT_FALSE(ran);
    EXPECT_EQ(panels.size(), 3u);
    EXPECT_EQ(presenters.alerts().shownAlerts().size(), 1u);
}

TEST_F(SecurityScopedBookmarkManagerTest, WorkErrorsAreShownAfterAccessEnds) {
    ScopedScriptedPresenters presenters;
    const QUrl exports = folder(QStringLiteral("Exports"));
    SecurityScopedBookmarkManager::saveBookmark(BookmarkData::create(exports), exports);
    int accessWhileShown = -1;
    presenters.alerts().answer([&](platform::Alert &) {
        accessWhileShown = BookmarkData::accessCount(exports);
        return platform::ModalResponse::alertFirstButtonReturn;
    });
    kestrova::testing::awaitTask(SecurityScopedBookmarkManager::access(
        exports, [] { throw GeneralError(QStringLiteral("The image could not be written.")); }));
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1u);
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].messageText,
              QStringLiteral("The image could not be written."));
    EXPECT_EQ(accessWhileShown, 0);

    // Absent data removes the entry.
    SecurityScopedBookmarkManager::saveBookmark(std::nullopt, exports);
    EXPECT_TRUE(SecurityScopedBookmarkManager::bookmarks().empty());
}

TEST_F(SecurityScopedBookmarkManagerTest, ASecondRequestDuringThePanelIsTurnedAway) {
    ScopedScriptedPresenters presenters;
    auto reentrant = std::make_shared<ReentrantPanelPresenter>();
    platform::OpenPanelPresenter::setShared(reentrant);
    const QUrl exports = folder(QStringLiteral("Exports"));
    reentrant->choose({exports});
    EXPECT_EQ(kestrova::testing::awaitTask(SecurityScopedBookmarkManager::requestAccess(exports)), exports);
    EXPECT_TRUE(reentrant->nestedFinished);
    EXPECT_EQ(reentrant->nestedResult, std::nullopt);
    EXPECT_FALSE(SecurityScopedBookmarkManager::isRequestInProgress());
    EXPECT_EQ(reentrant->shownPanels().size(), 1u);
}

#include "store/SandboxURLBookmark.h"

#include "foundation/files/FileUrl.h"
#include "foundation/files/WellKnownFolders.h"
#include "foundation/testing/ReportedErrors.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/ScriptedPresenters.h"
#include "platform/testing/TemporaryMount.h"
#include "store/BookmarkData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace kestrova;
using kestrova::testing::ReportedErrors;
using kestrova::testing::ScopedScriptedPresenters;

namespace {

class SandboxURLBookmarkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_temporary.isValid()); }

    QUrl folder(const QString &relative) {
        const QString path = this->path(relative);
        QDir().mkpath(path);
        return url::fromLocalPath(QFile::encodeName(path), true);
    }
    // Puts a new folder in the place of `relative` (made while the old one still exists, so that it is
    // another inode).
    void replaceFolder(const QString &relative) {
        folder(relative + QStringLiteral(".new"));
        ASSERT_TRUE(QDir(path(relative)).removeRecursively());
        ASSERT_TRUE(QDir().rename(path(relative + QStringLiteral(".new")), path(relative)));
    }
    // Inside the temporary folder's real location, as the requests compare folders.
    QString path(const QString &relative) const {
        return QDir(m_temporary.path()).canonicalPath() + QLatin1Char('/') + relative;
    }

    QTemporaryDir m_temporary;
};

} // namespace

TEST_F(SandboxURLBookmarkTest, ResolvesByPathAndTellsWhatChanged) {
    ReportedErrors reports;
    const QUrl notes = folder(QStringLiteral("Notes"));
    const SandboxURLBookmark bookmark(BookmarkData::create(notes));
    EXPECT_EQ(bookmark.url(), notes);
    EXPECT_EQ(bookmark.originalURL(), notes);
    const QVariantMap all =
        bookmark.allProperties().value(QStringLiteral("NSURLBookmarkAllPropertiesKey")).toMap();
    EXPECT_EQ(all.value(QStringLiteral("_NSURLBookmarkURLStringKey")).toString(),
              QString::fromUtf8(notes.toEncoded()));
    EXPECT_TRUE(all.value(QStringLiteral("isDirectory")).toBool());

    // Replaced by another folder of the same name: stale, still used, the data unchanged.
    replaceFolder(QStringLiteral("Notes"));
    const QByteArray before = bookmark.bookmarkData();
    EXPECT_TRUE(BookmarkData::resolve(bookmark.bookmarkData()).isStale);
    EXPECT_EQ(bookmark.url(), notes);
    EXPECT_EQ(bookmark.bookmarkData(), before);

    // Replaced by a file, renamed away, or deleted: nothing, but the URL it was made from stays known.
    ASSERT_TRUE(QDir(path(QStringLiteral("Notes"))).removeRecursively());
    QFile file(path(QStringLiteral("Notes")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(bookmark.url(), std::nullopt);
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("Notes"))));
    EXPECT_EQ(bookmark.url(), std::nullopt);
    EXPECT_EQ(bookmark.originalURL(), notes);

    // A folder that was made into a bookmark inside the Trash never resolves.
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                          QStringLiteral("/Trash/files/Old");
    ASSERT_TRUE(QDir().mkpath(trash));
    const SandboxURLBookmark trashed(
        BookmarkData::create(url::fromLocalPath(QFile::encodeName(trash), true)));
    EXPECT_EQ(trashed.url(), std::nullopt);
    QDir(trash).removeRecursively();

    // A name that is not valid UTF-8 resolves to itself.
    const QByteArray oddPath = QFile::encodeName(path(QString())) + "\xff\xfe name";
    ASSERT_EQ(::mkdir(oddPath.constData(), 0700), 0);
    const QUrl odd = url::fromLocalPath(oddPath, true);
    EXPECT_EQ(SandboxURLBookmark(BookmarkData::create(odd)).url(), odd);
    EXPECT_EQ(url::localPath(*SandboxURLBookmark(BookmarkData::create(odd)).url()), oddPath);
    ::rmdir(oddPath.constData());
    EXPECT_TRUE(reports.errors().isEmpty());

    // Random bytes: no URL, reported once per bookmark however often they are read.
    const SandboxURLBookmark random(QByteArray("\x13\x37 random", 9));
    for (int read = 0; read < 3; ++read) {
        EXPECT_EQ(random.url(), std::nullopt);
        EXPECT_EQ(random.originalURL(), std::nullopt);
        EXPECT_TRUE(random.allProperties().isEmpty());
    }
    SandboxURLBookmark(QByteArray("{\"type\":\"kestrova.bookmark\"}")).url();
    EXPECT_EQ(reports.errors().size(), 2);
}

TEST_F(SandboxURLBookmarkTest, AFolderBackOnAnotherDeviceStillResolvesAndIsStoredAfresh) {
    using kestrova::testing::TemporaryMount;
    // A record naming another device than the folder's now (a folder inside a volume that had the device
    // number 1): stale, used, and stored renewed.
    const QUrl music = folder(QStringLiteral("Music"));
    const QString record = QString::fromUtf8(BookmarkData::create(music));
    const QByteArray moved =
        QString(record)
            .replace(QRegularExpression(QStringLiteral("\"(device|parentDevice)\":\\d+")),
                     QStringLiteral("\"\\1\":1"))
            .toUtf8();
    ASSERT_NE(moved, record.toUtf8());
    const SandboxURLBookmark elsewhere(moved);
    EXPECT_EQ(elsewhere.url(), music);
    EXPECT_TRUE(BookmarkData::resolve(moved).isStale);
    EXPECT_FALSE(BookmarkData::resolve(elsewhere.rawValue()).isStale);
    EXPECT_EQ(SandboxURLBookmark::fromJson(elsewhere.toJson()).bookmarkData(), elsewhere.rawValue());

    // The same through a real remount: a tmpfs with a folder, then another tmpfs mounted in its place.
    const QUrl volume = folder(QStringLiteral("Volume"));
    auto first = std::make_unique<TemporaryMount>(path(QStringLiteral("Volume")), "size=1m");
    if (!first->isMounted())
        GTEST_SKIP() << TemporaryMount::kSkipMessage;
    const QUrl photos = folder(QStringLiteral("Volume/Photos"));
    const SandboxURLBookmark inside(BookmarkData::create(photos));
    const SandboxURLBookmark root(BookmarkData::create(volume));
    {
        TemporaryMount second(path(QStringLiteral("Volume")), "size=1m");
        ASSERT_TRUE(second.isMounted());
        // The path does not resolve yet: nothing.
        EXPECT_EQ(inside.url(), std::nullopt);
        folder(QStringLiteral("Volume/Photos"));
        EXPECT_EQ(inside.url(), photos);
        EXPECT_EQ(root.url(), volume);
        const QByteArray stored = inside.rawValue();
        EXPECT_NE(stored, inside.bookmarkData());
        EXPECT_FALSE(BookmarkData::resolve(stored).isStale);
    }
    // Nothing mounted any more: the bare mount point is not the volume.
    first.reset();
    EXPECT_EQ(root.url(), std::nullopt);
    EXPECT_EQ(inside.url(), std::nullopt);
    EXPECT_EQ(root.rawValue(), root.bookmarkData());
}

TEST_F(SandboxURLBookmarkTest, RequestAsksForTheFolderUntilTheRightOneIsChosen) {
    ScopedScriptedPresenters presenters;
    ReportedErrors reports;
    const QUrl documents = folder(QStringLiteral("Documents"));
    const QUrl sibling = folder(QStringLiteral("Music"));
    folder(QStringLiteral("Documents/Inner"));

    // A file's folder is asked for; a sibling is refused with an alert, a report and a new panel; cancel
    // ends.
    presenters.openPanels().choose({sibling});
    presenters.openPanels().cancel();
    const auto cancelled = kestrova::testing::awaitTask(
        SandboxURLBookmark::request(url::appendingPathComponent(documents, QStringLiteral("report.pdf"))));
    EXPECT_EQ(cancelled, std::nullopt);
    const auto &panels = presenters.openPanels().shownPanels();
    ASSERT_EQ(panels.size(), 2u);
    EXPECT_EQ(panels[0].directoryUrl, documents);
    EXPECT_EQ(panels[0].message, QCoreApplication::applicationName() +
                                     QStringLiteral(" needs access to the “Documents” folder."));
    EXPECT_EQ(panels[0].prompt, QStringLiteral("Allow"));
    EXPECT_FALSE(panels[0].canChooseFiles);
    EXPECT_TRUE(panels[0].canChooseDirectories);
    EXPECT_FALSE(panels[0].allowsMultipleSelection);
    EXPECT_FALSE(panels[0].canCreateDirectories);
    // The folder's own contents are greyed out; the folder itself and unrelated folders are not.
    ASSERT_TRUE(panels[0].shouldEnable);
    EXPECT_FALSE(panels[0].shouldEnable(folder(QStringLiteral("Documents/Inner"))));
    EXPECT_TRUE(panels[0].shouldEnable(documents));
    EXPECT_TRUE(panels[0].shouldEnable(sibling));
    EXPECT_TRUE(panels[0].accessoryText.startsWith(QStringLiteral("Click the “Allow” button to proceed")));
    const auto &alerts = presenters.alerts().shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, QStringLiteral("Incorrect Folder"));
    EXPECT_EQ(alerts[0].informativeText,
              QStringLiteral("Requested “%1” but received “%2”.")
                  .arg(url::abbreviatingWithTildeInPath(path(QStringLiteral("Documents"))),
                       url::abbreviatingWithTildeInPath(path(QStringLiteral("Music")))));
    ASSERT_EQ(alerts[0].buttons.size(), 1u);
    EXPECT_EQ(alerts[0].buttons[0].title, QStringLiteral("Try Again"));
    EXPECT_EQ(reports.errors().size(), 1);
    EXPECT_TRUE(reports.descriptions().startsWith(QStringLiteral("Requested “")));

    // The right folder reached through a symbolic link, without the trailing slash the dialog leaves off.
    const QString link = path(QStringLiteral("DocsLink"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("Documents")), link));
    presenters.openPanels().choose({QUrl::fromLocalFile(link)});
    const auto granted = kestrova::testing::awaitTask(SandboxURLBookmark::request(documents));
    ASSERT_TRUE(granted);
    EXPECT_EQ(granted->url(), documents);
    EXPECT_EQ(presenters.alerts().shownAlerts().size(), 1u);
    EXPECT_EQ(presenters.openPanels().pendingAnswers(), 0u);

    // A folder URL without a slash counts as an item: its parent is asked for; the root is "root".
    presenters.openPanels().cancel();
    presenters.openPanels().cancel();
    kestrova::testing::awaitTask(
        SandboxURLBookmark::request(QUrl::fromLocalFile(path(QStringLiteral("Documents")))));
    kestrova::testing::awaitTask(SandboxURLBookmark::request(QUrl::fromLocalFile(QStringLiteral("/"))));
    ASSERT_EQ(panels.size(), 5u);
    EXPECT_EQ(url::localPath(panels[3].directoryUrl),
              QFile::encodeName(QDir(m_temporary.path()).canonicalPath()));
    EXPECT_TRUE(panels[4].message.endsWith(QStringLiteral("needs access to the root folder.")));
    EXPECT_FALSE(panels[4].accessoryText.contains(QStringLiteral("two main apps folders")));
}

TEST_F(SandboxURLBookmarkTest, RequestAgainReplacesTheDataOnlyOnSuccess) {
    ScopedScriptedPresenters presenters;
    ReportedErrors reports;
    const QUrl pictures = folder(QStringLiteral("Pictures"));

    SandboxURLBookmark noUrl(QByteArray("nothing"));
    EXPECT_FALSE(kestrova::testing::awaitTask(noUrl.requestAgain()));
    EXPECT_TRUE(presenters.openPanels().shownPanels().empty());

    SandboxURLBookmark bookmark(BookmarkData::create(pictures));
    const QByteArray old = bookmark.bookmarkData();
    presenters.openPanels().cancel();
    EXPECT_FALSE(kestrova::testing::awaitTask(bookmark.requestAgain()));
    EXPECT_EQ(bookmark.bookmarkData(), old);

    // The folder was replaced: asking again gives a fresh bookmark.
    replaceFolder(QStringLiteral("Pictures"));
    presenters.openPanels().choose({pictures});
    EXPECT_TRUE(kestrova::testing::awaitTask(bookmark.requestAgain()));
    EXPECT_NE(bookmark.bookmarkData(), old);
    EXPECT_FALSE(BookmarkData::resolve(bookmark.bookmarkData()).isStale);

    if (::geteuid() != 0) {
        // A folder that cannot even be read: no bookmark, reported and shown, false.
        QFile::setPermissions(path(QStringLiteral("Pictures")), QFileDevice::WriteOwner);
        presenters.openPanels().choose({pictures});
        presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);
        EXPECT_FALSE(kestrova::testing::awaitTask(bookmark.requestAgain()));
        EXPECT_EQ(reports.errors().size(), 1);
        EXPECT_EQ(presenters.alerts().shownAlerts().size(), 1u);
        QFile::setPermissions(path(QStringLiteral("Pictures")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

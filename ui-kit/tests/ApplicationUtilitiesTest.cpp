#include "ui-kit/utilities/ApplicationHelpers.h"
#include "ui-kit/utilities/ApplicationUtilities.h"
#include "ui-kit/utilities/UrlOpener.h"

#include "foundation/errors/Error.h"
#include "foundation/files/FileUrl.h"
#include "platform/testing/EventLoop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QUuid>

#include <condition_variable>
#include <mutex>
#include <set>

#include <sys/stat.h>

using namespace kestrova;

namespace {

std::set<QString> fileNames(const std::vector<QUrl> &urls) {
    std::set<QString> names;
    for (const QUrl &url : urls)
        names.insert(QFile::decodeName(url::localPath(url)).section(QLatin1Char('/'), -1));
    return names;
}

} // namespace

TEST(ApplicationUtilitiesTest, ListingGivesOneLevelAndThrowsForUnreadableFolders) {
    QTemporaryDir directory;
    QDir(directory.path()).mkdir(QStringLiteral("Sub folder"));
    QFile(directory.filePath(QStringLiteral("a#b?.txt"))).open(QIODevice::WriteOnly);
    QFile(directory.filePath(QStringLiteral(".hidden"))).open(QIODevice::WriteOnly);
    QFile(directory.filePath(QStringLiteral("Sub folder/deep.txt"))).open(QIODevice::WriteOnly);
    const QUrl folder = QUrl::fromLocalFile(directory.path());

    EXPECT_EQ(fileNames(contentsOfDirectoryMergingSystemApplications(folder)),
              (std::set<QString>{"Sub folder", "a#b?.txt", ".hidden"}));
    const auto visible = contentsOfDirectoryMergingSystemApplications(folder, {.skipsHiddenFiles = true});
    EXPECT_EQ(fileNames(visible), (std::set<QString>{"Sub folder", "a#b?.txt"}));
    for (const QUrl &url : visible)
        EXPECT_EQ(url.path().endsWith(u'/'), url.path().contains(QStringLiteral("Sub folder")));

    EXPECT_THROW(contentsOfDirectoryMergingSystemApplications(
                     QUrl::fromLocalFile(directory.filePath(QStringLiteral("missing")))),
                 Error);
}

TEST(ApplicationUtilitiesTest, MediaDimensionsReadImagesAndNeverOpenSpecialFiles) {
    QTemporaryDir directory;
    const QString png = directory.filePath(QStringLiteral("wide.png"));
    QImage(40, 10, QImage::Format_RGB32).save(png);
    EXPECT_EQ(mediaDimensions(QUrl::fromLocalFile(png)), QSize(40, 10));
    EXPECT_EQ(imageAspectRatio(QUrl::fromLocalFile(png)), 4.0);

    const QString text = directory.filePath(QStringLiteral("notes.txt"));
    QFile(text).open(QIODevice::WriteOnly);
    EXPECT_EQ(mediaDimensions(QUrl::fromLocalFile(text)), std::nullopt);
    EXPECT_EQ(imageAspectRatio(QUrl::fromLocalFile(text)), std::nullopt);

    // Opening a FIFO without a writer would block for ever; the answer comes back at once instead.
    const QString fifo = directory.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(mediaDimensions(QUrl::fromLocalFile(fifo), std::chrono::hours(1)), std::nullopt);
}

TEST(ApplicationUtilitiesTest, MediaDimensionsGiveUpOnAReadThatHangs) {
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        bool finished = false;
    };
    auto gate = std::make_shared<Gate>();
    const auto hangingRead = [gate](const QUrl &) -> std::optional<QSize> {
        std::unique_lock lock(gate->mutex);
        gate->changed.wait(lock, [&] { return gate->released; });
        gate->finished = true;
        gate->changed.notify_all();
        return QSize(1, 1);
    };
    EXPECT_EQ(mediaDimensions(QUrl::fromLocalFile(QStringLiteral("/stalled/mount/movie.mp4")),
                              std::chrono::milliseconds(20), hangingRead),
              std::nullopt);
    // Let the abandoned read end, so that the test leaves no thread behind.
    std::unique_lock lock(gate->mutex);
    gate->released = true;
    gate->changed.notify_all();
    EXPECT_TRUE(gate->changed.wait_for(lock, std::chrono::seconds(5), [&] { return gate->finished; }));
}

TEST(ApplicationUtilitiesTest, OpeningAndQuittingAreHandedOn) {
    QList<QUrl> opened;
    const auto previous = UrlOpener::setHandler([&](const QUrl &url) {
        opened << url;
        return true;
    });
    const QUrl library = QUrl::fromLocalFile(QStringLiteral("/home/u/Pictures/Photos Library.photoslibrary"));
    openRequestingPhotosAccess(library);
    UrlOpener::setHandler(previous);
    EXPECT_EQ(opened, QList<QUrl>{library});

    QObject parent;
    QObject child(&parent);
    EXPECT_EQ(responderChain(&child), (std::vector<QObject *>{&child, &parent}));
    EXPECT_EQ(responderChain(&parent), std::vector<QObject *>{&parent});

    int launches = 0;
    onDidFinishLaunching([&] { ++launches; });
    EXPECT_EQ(launches, 0);
    EXPECT_TRUE(kestrova::testing::processEventsUntil([&] { return launches == 1; }));
}

TEST(ApplicationUtilitiesTest, SettingVisibilityTouchesTheOthersOnlyWhenAsked) {
    struct FolderRecord {
        QUuid id;
        bool isVisible;
    };
    const QUuid a = QUuid::createUuid(), b = QUuid::createUuid(), c = QUuid::createUuid();
    const std::vector<FolderRecord> folders{{a, false}, {b, true}, {c, false}};
    const auto visibility = [](const std::vector<FolderRecord> &list) {
        QList<bool> flags;
        for (const auto &folder : list)
            flags << folder.isVisible;
        return flags;
    };
    const std::vector<QUuid> onlyA{a};
    EXPECT_EQ(visibility(settingVisibility(folders, true, onlyA, false, false)),
              (QList<bool>{true, true, false}));
    EXPECT_EQ(visibility(settingVisibility(folders, true, onlyA, false, true)),
              (QList<bool>{true, false, false}));
    EXPECT_EQ(visibility(settingVisibility(folders, false, onlyA, true, false)),
              (QList<bool>{false, true, true}));
    // No identifiers: every folder counts as one of the others.
    EXPECT_EQ(visibility(settingVisibility(folders, true, std::vector<QUuid>{}, false, true)),
              (QList<bool>{false, false, false}));
}

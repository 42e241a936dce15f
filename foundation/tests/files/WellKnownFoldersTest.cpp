#include "foundation/files/FileSystemCalls_p.h"
#include "foundation/files/FileUrl.h"
#include "foundation/files/SystemDirectories.h"
#include "foundation/files/WellKnownFolders.h"
#include "foundation/testing/ReportedErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova;

namespace {

class ScopedHome {
public:
    explicit ScopedHome(const QByteArray &value)
        : m_saved(qgetenv("HOME")) {
        if (value.isNull())
            qunsetenv("HOME");
        else
            qputenv("HOME", value);
    }
    ~ScopedHome() { qputenv("HOME", m_saved); }

private:
    QByteArray m_saved;
};

TEST(WellKnownFoldersTest, HomeAbbreviationMatchesWholeComponents) {
    const QString home = QStringLiteral("/home/bob");
    EXPECT_EQ(url::abbreviatingWithTildeInPath(QStringLiteral("/home/bob"), home), QStringLiteral("~"));
    EXPECT_EQ(url::abbreviatingWithTildeInPath(QStringLiteral("/home/bob/Documents"), home),
              QStringLiteral("~/Documents"));
    EXPECT_EQ(url::abbreviatingWithTildeInPath(QStringLiteral("/home/bobby/x"), home),
              QStringLiteral("/home/bobby/x"));
    EXPECT_EQ(url::abbreviatingWithTildeInPath(QStringLiteral("/home/bob/"), QStringLiteral("/home/bob/")),
              QStringLiteral("~/"));
    EXPECT_EQ(url::abbreviatingWithTildeInPath(QStringLiteral("/home/bobby"), QStringLiteral("/home/bob/")),
              QStringLiteral("/home/bobby"));
    EXPECT_EQ(url::abbreviatingWithTildeInPath(QStringLiteral("/srv/data"), home),
              QStringLiteral("/srv/data"));
    EXPECT_EQ(url::abbreviatingWithTildeInPath(QStringLiteral("/srv/data"), QStringLiteral("/")),
              QStringLiteral("~/srv/data"));
    EXPECT_EQ(url::abbreviatingWithTildeInPath(QStringLiteral("/home/bob/x"), QString()),
              QStringLiteral("/home/bob/x"));

    const QString realHome = QFile::decodeName(url::localPath(url::realHomeDirectory()));
    EXPECT_EQ(url::abbreviatingWithTildeInPath(realHome + QStringLiteral("/Music")),
              QStringLiteral("~/Music"));
}

TEST(WellKnownFoldersTest, HomeComesFromTheUserDatabaseThenHome) {
    ScopedFileSystemCalls calls;
    calls->userHomeDirectory = [](uid_t) -> std::optional<QByteArray> { return QByteArray("/home/fromdb"); };
    {
        ScopedHome home("/home/fromenv");
        EXPECT_EQ(url::lookUpHomeDirectoryPath(), QByteArray("/home/fromdb"));
    }
    // No entry, as for a container's user without a passwd line.
    calls->userHomeDirectory = [](uid_t) -> std::optional<QByteArray> { return std::nullopt; };
    {
        ScopedHome home("/home/fromenv");
        EXPECT_EQ(url::lookUpHomeDirectoryPath(), QByteArray("/home/fromenv"));
    }
    calls->userHomeDirectory = [](uid_t) -> std::optional<QByteArray> { return QByteArray(""); };
    {
        ScopedHome home("/home/fromenv");
        EXPECT_EQ(url::lookUpHomeDirectoryPath(), QByteArray("/home/fromenv"));
    }
    {
        ScopedHome home(QByteArray{});
        kestrova::testing::ReportedErrors warnings;
        EXPECT_EQ(url::lookUpHomeDirectoryPath(), QByteArray("/"));
        EXPECT_TRUE(warnings.descriptions().contains(QStringLiteral("No home folder")));
    }
}

TEST(WellKnownFoldersTest, FoldersAreDirectoryUrls) {
    const QUrl home = url::realHomeDirectory();
    EXPECT_TRUE(home.path().endsWith(QLatin1Char('/')));
    EXPECT_EQ(url::documentsDirectory(),
              url::appendingPathComponent(home, QStringLiteral("Documents"), true));
    EXPECT_EQ(url::userApplicationsDirectory(),
              url::appendingPathComponent(home, QStringLiteral("Applications"), true));
    EXPECT_EQ(url::rootDirectory().toLocalFile(), QStringLiteral("/"));
    EXPECT_EQ(url::systemApplicationsDirectory().toLocalFile(), QStringLiteral("/System/Applications/"));

    // The test home holds the data and cache homes; the application's folders are made inside them.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString support = QFile::decodeName(url::localPath(url::applicationSupportDirectory()));
    EXPECT_EQ(QFileInfo(support).path(), QFileInfo(dataHome).canonicalFilePath());
    EXPECT_TRUE(QFileInfo(support).isDir());
    EXPECT_TRUE(QFileInfo(QFile::decodeName(url::localPath(url::cachesDirectory()))).isDir());

    const QString testHome = QFileInfo(QDir::homePath()).canonicalFilePath();
    EXPECT_TRUE(url::desktopDirectory().toLocalFile().startsWith(testHome));
    EXPECT_TRUE(url::sharedPublicDirectory().toLocalFile().startsWith(testHome));
}

TEST(WellKnownFoldersTest, SystemDirectoryFallsBackAndResolvesLinks) {
    {
        kestrova::testing::ReportedErrors warnings;
        const QUrl fallback = SystemDirectories::resolve(SystemDirectory::music, QString());
        EXPECT_EQ(fallback.toLocalFile(), QFileInfo(QDir::tempPath()).canonicalFilePath() + QLatin1Char('/'));
        EXPECT_TRUE(warnings.descriptions().contains(
            QStringLiteral("Could not get system directory: musicDirectory")));
    }
    QTemporaryDir folder;
    QDir(folder.path()).mkdir(QStringLiteral("real"));
    ASSERT_TRUE(
        QFile::link(folder.path() + QStringLiteral("/real"), folder.path() + QStringLiteral("/link")));
    EXPECT_EQ(SystemDirectories::resolve(SystemDirectory::music, folder.path() + QStringLiteral("/link"))
                  .toLocalFile(),
              QFileInfo(folder.path()).canonicalFilePath() + QStringLiteral("/real/"));
    // A folder that does not exist yet is answered as looked up.
    EXPECT_EQ(SystemDirectories::resolve(SystemDirectory::music, folder.path() + QStringLiteral("/later"))
                  .toLocalFile(),
              folder.path() + QStringLiteral("/later/"));
}

} // namespace

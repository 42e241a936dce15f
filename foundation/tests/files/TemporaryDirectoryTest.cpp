#include "foundation/files/FileUrl.h"
#include "foundation/files/SystemDirectories.h"
#include "foundation/errors/Error.h"
#include "foundation/files/TemporaryDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

using namespace kestrova;

namespace {

mode_t permissionsOf(const QUrl &url) {
    struct stat status = {};
    EXPECT_EQ(::stat(url::localPath(url).constData(), &status), 0) << url.toString().toStdString();
    return status.st_mode & 07777;
}

dev_t deviceOf(const QByteArray &path) {
    struct stat status = {};
    EXPECT_EQ(::stat(path.constData(), &status), 0) << path.constData();
    return status.st_dev;
}

TEST(TemporaryDirectoryTest, UniqueFoldersArePrivate) {
    const QUrl first = url::createUniqueTemporaryDirectory();
    const QUrl second = url::createUniqueTemporaryDirectory();
    EXPECT_NE(first, second);
    EXPECT_EQ(permissionsOf(first), mode_t(0700));
    const QFileInfo info(QFile::decodeName(url::localPath(first)));
    EXPECT_EQ(info.path(), QDir::tempPath());
    EXPECT_FALSE(QUuid::fromString(info.fileName()).isNull());
    TemporaryDirectory cleanFirst(first), cleanSecond(second);
}

TEST(TemporaryDirectoryTest, LastOwnerRemovesTheFolderButNothingOutside) {
    QTemporaryDir outside;
    const QString keep = outside.path() + QStringLiteral("/keep.txt");
    QFile(keep).open(QIODevice::WriteOnly);

    auto owner = std::make_shared<TemporaryDirectory>(url::createUniqueTemporaryDirectory());
    const QByteArray path = url::localPath(owner->url());
    QDir().mkpath(QFile::decodeName(path) + QStringLiteral("/a/b"));
    QFile(QFile::decodeName(path) + QStringLiteral("/a/b/file")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(outside.path(), QFile::decodeName(path) + QStringLiteral("/a/outside")));
    const int fd = ::open((path + "/caf\xe9").constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);

    auto secondOwner = owner;
    owner.reset();
    EXPECT_EQ(::access(path.constData(), F_OK), 0);
    secondOwner.reset();
    EXPECT_NE(::access(path.constData(), F_OK), 0);
    EXPECT_TRUE(QFile::exists(keep));
}

TEST(TemporaryDirectoryTest, WritesTextToANamedFile) {
    const url::TemporaryFile written = url::writeToUniqueTemporaryFile(
        QStringLiteral("Grüße\n"), QStringLiteral("report"), QStringLiteral("text/plain"));
    const QUrl file = written.url;
    EXPECT_EQ(QFileInfo(file.toLocalFile()).fileName(), QStringLiteral("report.txt"));
    EXPECT_EQ(permissionsOf(written.directory->url()), mode_t(0700));
    QFile reader(file.toLocalFile());
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(reader.readAll(), QStringLiteral("Grüße\n").toUtf8());

    // The name is one component: nothing may be written outside the new folder.
    for (const QString &name :
         {QStringLiteral("../escape"), QStringLiteral("a/b"), QStringLiteral(".."), QString()}) {
        EXPECT_THROW(url::writeToUniqueTemporaryFile(QStringLiteral("x"), name, QStringLiteral("text/plain")),
                     kestrova::Error)
            << name.toStdString();
    }
}

// Restores TMPDIR when it goes.
class TemporaryFolderOverride {
public:
    explicit TemporaryFolderOverride(const QByteArray &path)
        : m_saved(qgetenv("TMPDIR"))
        , m_wasSet(qEnvironmentVariableIsSet("TMPDIR")) {
        qputenv("TMPDIR", path);
    }
    ~TemporaryFolderOverride() {
        if (m_wasSet)
            qputenv("TMPDIR", m_saved);
        else
            qunsetenv("TMPDIR");
    }

private:
    QByteArray m_saved;
    bool m_wasSet;
};

TEST(TemporaryDirectoryTest, TextFilesGoToTheTemporaryFolderAndAreRemovedAfterUse) {
    // A temporary folder on another file system than the executable's, as a tmpfs TMPDIR often is.
    const QString executableFolder = QCoreApplication::applicationDirPath();
    if (!QFileInfo(QStringLiteral("/dev/shm")).isDir() ||
        deviceOf("/dev/shm") == deviceOf(QFile::encodeName(executableFolder)))
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    QTemporaryDir temporary(QStringLiteral("/dev/shm/kestrova-tmpdir-XXXXXX"));
    ASSERT_TRUE(temporary.isValid());
    const QStringList besideExecutable = QDir(executableFolder).entryList(QDir::Hidden | QDir::Dirs);
    TemporaryFolderOverride override(QFile::encodeName(temporary.path()));

    auto written = url::writeToUniqueTemporaryFile(QStringLiteral("notes"), QStringLiteral("notes"),
                                                   QStringLiteral("text/plain"));
    const QString path = written.url.toLocalFile();
    EXPECT_TRUE(path.startsWith(temporary.path() + QLatin1Char('/'))) << path.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QDir(executableFolder).entryList(QDir::Hidden | QDir::Dirs), besideExecutable);

    const QString folder = QFileInfo(path).path();
    written.directory.reset();
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QDir(temporary.path()).isEmpty());
}

TEST(TemporaryDirectoryTest, ReplacementFolderIsOnTheItemsFileSystem) {
    // On the build's file system, but not beside the test program, whose folder another test watches.
    QTemporaryDir folder(QDir::currentPath() + QStringLiteral("/../replace-XXXXXX"));
    ASSERT_TRUE(folder.isValid());
    const QByteArray item = QFile::encodeName(folder.path()) + "/item.txt";
    QFile(QFile::decodeName(item)).open(QIODevice::WriteOnly);
    const QUrl replacement = SystemDirectories::itemReplacementDirectory(url::fromLocalPath(item));
    TemporaryDirectory cleanUp(replacement);
    EXPECT_EQ(deviceOf(url::localPath(replacement)), deviceOf(item));
    EXPECT_EQ(permissionsOf(replacement), mode_t(0700));
    EXPECT_TRUE(QDir(replacement.toLocalFile()).isEmpty());

    // An item whose folder does not exist still gets a folder, inside the temporary folder.
    const QUrl fallback =
        SystemDirectories::itemReplacementDirectory(QUrl::fromLocalFile(QStringLiteral("/no/such/x")));
    TemporaryDirectory cleanFallback(fallback);
    EXPECT_EQ(QFileInfo(fallback.toLocalFile().chopped(1)).path(), QDir::tempPath());
    EXPECT_EQ(permissionsOf(fallback), mode_t(0700));
}

} // namespace

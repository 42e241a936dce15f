#include "foundation/files/FileUrl.h"
#include "foundation/files/Trash.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace kestrova;

namespace {

QUrl makeFile(const QString &path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    return QUrl::fromLocalFile(path);
}

QString homeTrash() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
}

TEST(TrashTest, HomeTrashHoldsItemsAtAnyDepthButNotItself) {
    const QString trash = homeTrash();
    ASSERT_TRUE(QDir().mkpath(trash + QStringLiteral("/files")));
    EXPECT_TRUE(url::isInTrash(makeFile(trash + QStringLiteral("/files/report.txt"))));
    EXPECT_TRUE(url::isInTrash(makeFile(trash + QStringLiteral("/files/old/a/b/deep.txt"))));
    EXPECT_TRUE(url::isInTrash(QUrl::fromLocalFile(trash + QStringLiteral("/files/old/"))));
    EXPECT_FALSE(url::isInTrash(QUrl::fromLocalFile(trash)));
    EXPECT_FALSE(url::isInTrash(QUrl::fromLocalFile(trash + QLatin1Char('/'))));

    // A name that merely begins like the Trash is not inside it.
    EXPECT_FALSE(url::isInTrash(makeFile(trash + QStringLiteral("Can/files/x.txt"))));

    QTemporaryDir outside;
    EXPECT_FALSE(url::isInTrash(makeFile(outside.path() + QStringLiteral("/x.txt"))));
    // Reached through a link, the item is still in the Trash.
    const QString link = outside.path() + QStringLiteral("/toTrash");
    ASSERT_TRUE(QFile::link(trash + QStringLiteral("/files"), link));
    EXPECT_TRUE(url::isInTrash(QUrl::fromLocalFile(link + QStringLiteral("/report.txt"))));
    // A link inside the Trash to a file outside is itself in the Trash.
    const QString trashedLink = trash + QStringLiteral("/files/link");
    ASSERT_TRUE(QFile::link(outside.path() + QStringLiteral("/x.txt"), trashedLink));
    EXPECT_TRUE(url::isInTrash(QUrl::fromLocalFile(trashedLink)));

    EXPECT_FALSE(url::isInTrash(QUrl::fromLocalFile(QStringLiteral("/no/such/folder/x"))));
    EXPECT_FALSE(url::isInTrash(QUrl(QStringLiteral("https://example.com/.Trash/x"))));

    const QString provider =
        outside.path() + QStringLiteral("/File Provider Storage/photospicker/.Trash/a.jpg");
    EXPECT_TRUE(url::isInTrash(makeFile(provider)));
}

TEST(TrashTest, VolumeTrashFoldersSitAtTheTopOfTheItemsVolume) {
    QTemporaryDir folder;
    const auto folders = url::trashDirectories(makeFile(folder.path() + QStringLiteral("/x")));
    ASSERT_TRUE(folders);
    const QString suffix = QStringLiteral("/.Trash-%1").arg(::getuid());
    const auto perUser = std::find_if(folders->begin(), folders->end(), [&](const QUrl &url) {
        return QFile::decodeName(url::localPath(url)).endsWith(suffix);
    });
    ASSERT_NE(perUser, folders->end());
    QByteArray top = url::localPath(*perUser);
    top.chop(suffix.size());
    if (top.isEmpty())
        top = "/";
    struct stat item = {}, topStatus = {}, above = {};
    ASSERT_EQ(::stat(QFile::encodeName(folder.path()).constData(), &item), 0);
    ASSERT_EQ(::stat(top.constData(), &topStatus), 0);
    EXPECT_EQ(topStatus.st_dev, item.st_dev);
    if (top != "/") {
        ASSERT_EQ(::stat((top + "/..").constData(), &above), 0);
        EXPECT_NE(above.st_dev, item.st_dev);
    }
    EXPECT_EQ(folders->front(), url::fromLocalPath(QFile::encodeName(homeTrash()), /*isDirectory=*/true));
}

TEST(TrashTest, Relationship) {
    QTemporaryDir folder;
    const QUrl directory = QUrl::fromLocalFile(folder.path());
    const QUrl nested = makeFile(folder.path() + QStringLiteral("/a/b/c.txt"));
    EXPECT_EQ(url::relationship(directory, nested), url::ItemRelationship::contains);
    EXPECT_EQ(url::relationship(directory, directory), url::ItemRelationship::same);
    EXPECT_EQ(url::relationship(QUrl::fromLocalFile(folder.path() + QStringLiteral("/a/b")), directory),
              url::ItemRelationship::other);
    QTemporaryDir sibling;
    EXPECT_EQ(url::relationship(directory, QUrl::fromLocalFile(sibling.path())),
              url::ItemRelationship::other);
    // The receiver reached through a link is still the same folder.
    const QString link = sibling.path() + QStringLiteral("/link");
    ASSERT_TRUE(QFile::link(folder.path(), link));
    EXPECT_EQ(url::relationship(QUrl::fromLocalFile(link), nested), url::ItemRelationship::contains);
    // Failed lookups count as other.
    EXPECT_EQ(url::relationship(nested, nested), url::ItemRelationship::other);
    EXPECT_EQ(url::relationship(QUrl::fromLocalFile(QStringLiteral("/no/such")), nested),
              url::ItemRelationship::other);
}

} // namespace

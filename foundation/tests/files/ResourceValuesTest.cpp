#include "foundation/files/FileSystemCalls_p.h"
#include "foundation/files/FileUrl.h"
#include "foundation/media/MediaDimensions.h"
#include "foundation/files/ResourceValues.h"

#include <QDir>
#include <QImage>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

using namespace kestrova;

namespace {

const QByteArray kPngHeader("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);

class ResourceValuesTest : public ::testing::Test {
protected:
    QByteArray path(const QByteArray &name) const { return QFile::encodeName(m_folder.path()) + '/' + name; }
    QUrl write(const QByteArray &name, const QByteArray &contents) {
        const QByteArray file = path(name);
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0) << name.constData();
        EXPECT_EQ(::write(fd, contents.constData(), size_t(contents.size())), contents.size());
        ::close(fd);
        return url::fromLocalPath(file);
    }
    QUrl link(const QByteArray &name, const QByteArray &target) {
        EXPECT_EQ(::symlink(target.constData(), path(name).constData()), 0);
        return url::fromLocalPath(path(name));
    }

    QTemporaryDir m_folder;
};

TEST_F(ResourceValuesTest, KindsOfItems) {
    const QUrl text = write("notes.txt", "hello\n");
    EXPECT_FALSE(url::isFolder(text));
    EXPECT_FALSE(url::isAlias(text));
    EXPECT_EQ(url::contentType(text), QStringLiteral("text/plain"));
    // Without an extension the content decides.
    EXPECT_EQ(url::contentType(write("picture", kPngHeader)), QStringLiteral("image/png"));

    const QUrl folder = url::fromLocalPath(QFile::encodeName(m_folder.path()), /*isDirectory=*/true);
    EXPECT_TRUE(url::isFolder(folder));
    EXPECT_TRUE(url::boolResourceValue(folder, url::ResourceKey::isDirectory, false));
    EXPECT_FALSE(url::boolResourceValue(folder, url::ResourceKey::isPackage, true));
    EXPECT_EQ(url::contentType(folder), QStringLiteral("inode/directory"));

    EXPECT_TRUE(url::boolResourceValue(write(".hidden", "x"), url::ResourceKey::isHidden, false));
    EXPECT_EQ(url::contentType(url::fromLocalPath("/dev/null")), QStringLiteral("inode/chardevice"));
}

TEST_F(ResourceValuesTest, SymbolicLinksAreNotFollowed) {
    write("target.txt", "x");
    const QUrl toFile = link("link", "target.txt");
    const QUrl dangling = link("dangling", "nowhere");
    const QUrl loopA = link("loopA", "loopB");
    link("loopB", "loopA");
    const QUrl toFolder = link("folderLink", ".");

    for (const QUrl &url : {toFile, dangling, loopA, toFolder}) {
        SCOPED_TRACE(url.toString().toStdString());
        EXPECT_TRUE(url::isAlias(url));
        EXPECT_FALSE(url::isFolder(url));
        EXPECT_EQ(url::contentType(url), QStringLiteral("inode/symlink"));
        EXPECT_TRUE(url::contentModificationDate(url).has_value());
    }
    // A URL with a trailing slash still names the link, not the folder it points to.
    EXPECT_TRUE(url::isAlias(url::fromLocalPath(path("folderLink"), /*isDirectory=*/true)));
}

TEST_F(ResourceValuesTest, FifoIsNeverOpened) {
    const QByteArray fifo = path("pipe");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
    // A blocking open of a FIFO without a writer would hang this test.
    EXPECT_EQ(url::contentType(url::fromLocalPath(fifo)), QStringLiteral("inode/fifo"));

    // An item that turns into a FIFO after its type was read is refused by the opened descriptor's type.
    ScopedFileSystemCalls calls;
    calls->statx = [](int, const char *, int, unsigned, struct statx *result) {
        *result = {};
        result->stx_mask = STATX_TYPE;
        result->stx_mode = S_IFREG | 0644;
        return 0;
    };
    EXPECT_EQ(openRegularFileForReading(fifo), -1);
}

TEST_F(ResourceValuesTest, UnreadableVanishedAndOddNamesFailSoftly) {
    const QUrl vanished = write("gone.txt", "x");
    QFile::remove(QFile::decodeName(url::localPath(vanished)));
    EXPECT_FALSE(url::contentType(vanished));
    EXPECT_FALSE(url::contentModificationDate(vanished));
    EXPECT_TRUE(url::boolResourceValue(vanished, url::ResourceKey::isDirectory, true));
    url::setContentModificationDate(vanished, platform::Date(0));

    // A name that is not UTF-8 keeps its bytes through the URL.
    const QUrl latin1 = write("caf\xe9.txt", "x");
    EXPECT_EQ(url::localPath(latin1), path("caf\xe9.txt"));
    EXPECT_EQ(url::contentType(latin1), QStringLiteral("text/plain"));
    EXPECT_TRUE(url::contentModificationDate(latin1).has_value());
    ::unlink(path("caf\xe9.txt").constData()); // QTemporaryDir cannot remove a name that is not UTF-8

    const QUrl tooLong = url::fromLocalPath(path(QByteArray(300, 'n')));
    EXPECT_FALSE(url::contentType(tooLong));
    EXPECT_FALSE(url::isFolder(tooLong));

    EXPECT_FALSE(url::contentType(QUrl(QStringLiteral("https://example.com/a.txt"))));

    const QUrl picture = write("picture", kPngHeader);
    ScopedFileSystemCalls calls;
    calls->read = [](int, void *, size_t) -> ssize_t {
        errno = EIO;
        return -1;
    };
    EXPECT_NE(url::contentType(picture), QStringLiteral("image/png"));
    calls->statx = [](int, const char *, int, unsigned, struct statx *) {
        errno = EACCES;
        return -1;
    };
    EXPECT_FALSE(url::contentType(picture));
    EXPECT_FALSE(url::contentAccessDate(picture));
    EXPECT_FALSE(url::isFolder(picture));
}

TEST_F(ResourceValuesTest, DatesAreWrittenOneAtATime) {
    const QUrl file = write("dated.txt", "x");
    const platform::Date access = *url::contentAccessDate(file);
    const platform::Date modified = platform::Date::fromUnixTime(1'000'000'000.25);
    url::setContentModificationDate(file, modified);
    EXPECT_NEAR(url::contentModificationDate(file)->timeIntervalSince1970(), 1'000'000'000.25, 1e-6);
    EXPECT_EQ(url::contentAccessDate(file), access);

    url::setContentModificationDate(file, std::nullopt);
    EXPECT_NEAR(url::contentModificationDate(file)->timeIntervalSince1970(), 1'000'000'000.25, 1e-6);

    const auto created = url::creationDate(file);
    url::setCreationDate(file, modified);
    EXPECT_EQ(url::creationDate(file), created);
    if (created) {
        EXPECT_LE(created->timeIntervalSince1970(), platform::Date::now().timeIntervalSince1970() + 1);
    }
    EXPECT_TRUE(url::addedToDirectoryDate(file).has_value());
}

TEST_F(ResourceValuesTest, TagsFromExtendedAttribute) {
    const QUrl file = write("tagged.txt", "x");
    const QByteArray tags("red, work,,");
    if (::setxattr(path("tagged.txt").constData(), "user.xdg.tags", tags.constData(), size_t(tags.size()),
                   0) != 0)
        GTEST_SKIP() << "user extended attributes are not supported here: " << strerror(errno);
    EXPECT_EQ(url::tagNames(file), QStringList({QStringLiteral("red"), QStringLiteral("work")}));
    EXPECT_TRUE(url::tagNames(write("plain.txt", "x")).isEmpty());

    ScopedFileSystemCalls calls;
    calls->lgetxattr = [](const char *, const char *, void *, size_t) -> ssize_t {
        errno = EACCES;
        return -1;
    };
    EXPECT_TRUE(url::tagNames(file).isEmpty());
}

TEST_F(ResourceValuesTest, MediaDimensionsOfImagesOnly) {
    const QByteArray image = path("photo.png");
    ASSERT_TRUE(QImage(37, 21, QImage::Format_RGB32).save(QFile::decodeName(image), "PNG"));
    EXPECT_EQ(url::mediaDimensions(url::fromLocalPath(image)), QSize(37, 21));
    EXPECT_EQ(url::mediaDimensions(write("broken.png", kPngHeader)), std::nullopt);
    EXPECT_EQ(url::mediaDimensions(write("notes.txt", "hello")), std::nullopt);
    EXPECT_EQ(url::mediaDimensions(link("photoLink", "photo.png")), std::nullopt);
    const QByteArray fifo = path("pipe.png");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
    EXPECT_EQ(url::mediaDimensions(url::fromLocalPath(fifo)), std::nullopt);
}

} // namespace

#include "foundation/files/FileReading.h"
#include "foundation/files/FileSystemCalls_p.h"
#include "foundation/files/FileUrl.h"
#include "foundation/media/MediaDimensions.h"
#include "foundation/files/ResourceValues.h"
#include "foundation/media/Thumbnail.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

using namespace kestrova;

namespace {

constexpr time_t kDay = 24 * 60 * 60;

class FileReadingTest : public ::testing::Test {
protected:
    QByteArray path(const QByteArray &name) const { return QFile::encodeName(m_folder.path()) + '/' + name; }
    QByteArray write(const QByteArray &name, const QByteArray &contents) const {
        QFile file(QFile::decodeName(path(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path(name);
    }
    // Opened three days ago and changed one day ago: with "relatime" the next ordinary read moves the
    // access time to now, so a read that leaves it alone is seen.
    static void ageAccess(const QByteArray &item) {
        const time_t now = std::time(nullptr);
        const timespec times[2] = {{now - 3 * kDay, 0}, {now - kDay, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, item.constData(), times, 0), 0);
    }
    static time_t accessTime(const QByteArray &item) {
        struct stat status {};
        EXPECT_EQ(::stat(item.constData(), &status), 0);
        return status.st_atime;
    }
    static QByteArray png(QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }

    QTemporaryDir m_folder;
};

TEST_F(FileReadingTest, BrowsingReadsLeaveAccessTimesAlone) {
    // Only meaningful where an ordinary read does move the access time.
    const QByteArray control = write("control.txt", "read the ordinary way");
    ageAccess(control);
    const time_t before = accessTime(control);
    {
        const int fd = ::open(control.constData(), O_RDONLY | O_CLOEXEC);
        char byte = 0;
        ASSERT_EQ(::read(fd, &byte, 1), 1);
        ::close(fd);
    }
    if (accessTime(control) == before)
        GTEST_SKIP() << "this file system does not record reads";

    const QByteArray picture = write("picture", png(QSize(64, 32)));
    const QByteArray text = write("notes.txt", "hello");
    const QByteArray folder = path("folder");
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    write("folder/inside", "x");
    for (const QByteArray &item : {picture, text, folder})
        ageAccess(item);
    const time_t aged = accessTime(picture);

    const QUrl pictureUrl = url::fromLocalPath(picture);
    EXPECT_EQ(url::contentType(pictureUrl), QStringLiteral("image/png"));
    EXPECT_EQ(url::mediaDimensions(pictureUrl), QSize(64, 32));
    EXPECT_TRUE(url::quickLookThumbnail(pictureUrl, QSizeF(16, 16), 1.0, /*asIcon=*/false));
    EXPECT_EQ(readRegularFile(text, 100), QByteArray("hello"));
    const int directoryFd = openDirectoryForListing(folder);
    ASSERT_GE(directoryFd, 0);
    DIR *stream = ::fdopendir(directoryFd);
    int listed = 0;
    while (::readdir(stream))
        ++listed;
    ::closedir(stream);
    EXPECT_EQ(listed, 3);

    EXPECT_EQ(accessTime(picture), aged);
    EXPECT_EQ(accessTime(text), aged);
    EXPECT_EQ(accessTime(folder), aged);
}

TEST_F(FileReadingTest, ReadsWithoutNoAtimeWhereTheSystemRefusesIt) {
    const QByteArray file = write("theirs.txt", "someone else's");
    ScopedFileSystemCalls calls;
    static std::vector<int> flagsTried;
    flagsTried.clear();
    // What the system answers a process that owns neither the file nor the right to act as its owner.
    calls->openFile = [](const char *item, int flags) {
        flagsTried.push_back(flags);
        if (flags & O_NOATIME) {
            errno = EPERM;
            return -1;
        }
        return ::open(item, flags);
    };
    EXPECT_EQ(readRegularFile(file, 100), QByteArray("someone else's"));
    ASSERT_EQ(flagsTried.size(), 2u);
    EXPECT_TRUE(flagsTried[0] & O_NOATIME);
    EXPECT_FALSE(flagsTried[1] & O_NOATIME);
    EXPECT_EQ(url::contentType(url::fromLocalPath(file)), QStringLiteral("text/plain"));
    EXPECT_GE(openDirectoryForListing(QFile::encodeName(m_folder.path())), 0);

    // Any other refusal is not retried.
    flagsTried.clear();
    calls->openFile = [](const char *, int flags) {
        flagsTried.push_back(flags);
        errno = EACCES;
        return -1;
    };
    EXPECT_FALSE(readRegularFile(file, 100));
    EXPECT_EQ(flagsTried.size(), 1u);
}

TEST_F(FileReadingTest, ReadsOnlyRegularFilesAndStopsAtTheLimit) {
    const QByteArray big = write("big", QByteArray(100000, 'a'));
    EXPECT_EQ(readRegularFile(big, 10), QByteArray(10, 'a'));
    EXPECT_EQ(readRegularFile(big, 1000000)->size(), 100000);
    EXPECT_EQ(readRegularFile(write("empty", QByteArray()), 10), QByteArray());

    // A pipe would wait for a writer forever; links and folders are not files to read.
    ASSERT_EQ(::mkfifo(path("pipe").constData(), 0644), 0);
    EXPECT_FALSE(readRegularFile(path("pipe"), 10));
    ASSERT_EQ(::symlink(big.constData(), path("link").constData()), 0);
    EXPECT_FALSE(readRegularFile(path("link"), 10));
    EXPECT_FALSE(readRegularFile(QFile::encodeName(m_folder.path()), 10));
    EXPECT_FALSE(readRegularFile(path("missing"), 10));

    EXPECT_LT(openDirectoryForListing(path("pipe")), 0);
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_LT(openDirectoryForListing(QByteArray()), 0);
}

} // namespace

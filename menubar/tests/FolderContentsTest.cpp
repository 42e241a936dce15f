#include "menubar/FolderContents.h"

#include "FolderMenuTesting_p.h"

#include "foundation/Error.h"

#include <QSet>

#include <cerrno>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kestrova {
namespace {

using testing::FolderMenuFixture;

class FolderContentsTest : public FolderMenuFixture {
protected:
    void TearDown() override {
        FolderListingFaults::setShared({});
        FolderMenuFixture::TearDown();
    }

    std::vector<FolderEntry> list(FolderContentsOptions options = {}) const {
        return folderContents(url(), options);
    }
    static QStringList names(const std::vector<FolderEntry> &entries) {
        QStringList names;
        for (const auto &entry : entries)
            names << entry.name;
        return names;
    }
    static QSet<QString> nameSet(const std::vector<FolderEntry> &entries) {
        const QStringList all = names(entries);
        return QSet<QString>(all.begin(), all.end());
    }
};

TEST_F(FolderContentsTest, ListsOneLevelWithHiddenItemsOnlyWhenShownAndNeverSystemNames) {
    makeFile(QStringLiteral("a.txt"));
    makeFile(QStringLiteral(".hidden"));
    makeFile(QStringLiteral(".DS_Store"));
    makeFile(QStringLiteral(".localized"));
    makeFolder(QStringLiteral(".Trash"));
    makeFolder(QStringLiteral("sub"));
    makeFile(QStringLiteral("sub/inner.txt"));

    EXPECT_EQ(nameSet(list()), (QSet<QString>{QStringLiteral("a.txt"), QStringLiteral("sub")}));
    EXPECT_EQ(nameSet(list({.showHiddenItems = true})),
              (QSet<QString>{QStringLiteral("a.txt"), QStringLiteral("sub"), QStringLiteral(".hidden")}));

    for (const auto &entry : list()) {
        if (entry.name == QStringLiteral("sub")) {
            EXPECT_TRUE(entry.isFolder());
            EXPECT_TRUE(entry.url().toString().endsWith(QStringLiteral("/sub/")));
        } else {
            EXPECT_EQ(entry.type, FolderEntry::Type::regularFile);
            EXPECT_EQ(entry.size, 1);
            EXPECT_TRUE(entry.dateModified.has_value());
        }
    }
}

TEST_F(FolderContentsTest, LinksStandForTheirTargetsAndBrokenOnesStayAsAliases) {
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir().mkpath(elsewhere.filePath(QStringLiteral("target"))));
    ASSERT_EQ(symlink(QFile::encodeName(elsewhere.filePath(QStringLiteral("target"))).constData(),
                      QFile::encodeName(path(QStringLiteral("link"))).constData()),
              0);
    ASSERT_EQ(
        symlink("/nonexistent/nowhere", QFile::encodeName(path(QStringLiteral("dangling"))).constData()), 0);
    ASSERT_EQ(symlink("loopB", QFile::encodeName(path(QStringLiteral("loopA"))).constData()), 0);
    ASSERT_EQ(symlink("loopA", QFile::encodeName(path(QStringLiteral("loopB"))).constData()), 0);
    // A link to a system name is dropped after resolution, like the name itself.
    makeFileAt(QFile::encodeName(elsewhere.filePath(QStringLiteral(".DS_Store"))));
    ASSERT_EQ(symlink(QFile::encodeName(elsewhere.filePath(QStringLiteral(".DS_Store"))).constData(),
                      QFile::encodeName(path(QStringLiteral("store"))).constData()),
              0);

    const auto entries = list();
    ASSERT_EQ(entries.size(), 4u) << names(entries).join(QLatin1Char(',')).toStdString();
    for (const auto &entry : entries) {
        if (entry.name == QStringLiteral("target")) {
            EXPECT_TRUE(entry.isFolder());
            EXPECT_EQ(entry.path,
                      QFile::encodeName(QDir(elsewhere.path()).canonicalPath() + QStringLiteral("/target")));
        } else {
            EXPECT_TRUE(entry.isAlias()) << entry.name.toStdString();
            EXPECT_TRUE(entry.path.startsWith(QFile::encodeName(m_directory.path())));
        }
    }
}

TEST_F(FolderContentsTest, SpecialFilesAreListedWithoutBeingOpened) {
    // A pipe named like an image: reading it would block forever.
    ASSERT_EQ(mkfifo(QFile::encodeName(path(QStringLiteral("x.png"))).constData(), 0644), 0);
    const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(socketFd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(path(QStringLiteral("socket")));
    ASSERT_LT(std::size_t(socketPath.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, socketPath.constData(), std::size_t(socketPath.size()));
    ASSERT_EQ(bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ASSERT_EQ(symlink("/dev/null", QFile::encodeName(path(QStringLiteral("device"))).constData()), 0);

    const auto entries = list({.sortOrder = Folder::SortOrder::kind});
    close(socketFd);
    EXPECT_EQ(nameSet(entries),
              (QSet<QString>{QStringLiteral("x.png"), QStringLiteral("socket"), QStringLiteral("null")}));
    for (const auto &entry : entries) {
        EXPECT_EQ(entry.type, FolderEntry::Type::other) << entry.name.toStdString();
        EXPECT_EQ(entry.contentType, QStringLiteral("inode/x-special"));
    }

    // A pipe where a folder is expected fails at once instead of waiting for a writer.
    try {
        folderContents(url(QStringLiteral("x.png")), {});
        FAIL() << "listing a pipe succeeded";
    } catch (const Error &error) {
        EXPECT_EQ(error.code(), ENOTDIR);
    }
}

TEST_F(FolderContentsTest, OddNamesAreShownReadablyAndKeepTheirBytes) {
    const QByteArray invalid = "bad\xff\xfe.txt";
    const QList<QByteArray> names = {invalid, "a & b", "tab\there", "new\nline",
                                     "\xe2\x80\x8f"
                                     "rtl"};
    for (const QByteArray &name : names)
        makeFileAt(QFile::encodeName(m_directory.path()) + '/' + name);

    const auto entries = list();
    ASSERT_EQ(entries.size(), std::size_t(names.size()));
    for (const auto &entry : entries) {
        // The URL carries the exact bytes, so the entry opens by its real name.
        EXPECT_EQ(url::localPath(entry.url()), entry.path);
        const int fd = ::open(entry.path.constData(), O_RDONLY | O_CLOEXEC);
        EXPECT_GE(fd, 0) << entry.name.toStdString();
        ::close(fd);
        if (entry.path.endsWith(invalid)) {
            EXPECT_EQ(entry.name, QStringLiteral("bad\uFFFD\uFFFD.txt"));
        }
    }
    const QSet<QString> expected{QStringLiteral("a & b"), QStringLiteral("tab\there"),
                                 QStringLiteral("new\nline"), QStringLiteral("\u200Frtl"),
                                 QStringLiteral("bad\uFFFD\uFFFD.txt")};
    EXPECT_EQ(nameSet(entries), expected);
    // The temporary folder cannot remove a name that is not valid UTF-8.
    EXPECT_EQ(::unlink((QFile::encodeName(m_directory.path()) + '/' + invalid).constData()), 0);
}

TEST_F(FolderContentsTest, InjectedFailuresAreThrownOrKeptPerEntry) {
    makeFile(QStringLiteral("kept"));
    makeFile(QStringLiteral("vanishing"));
    makeFile(QStringLiteral("secret"));
    makeFolder(QStringLiteral("locked"));
    FolderListingFaults::setShared({
        .openDirectory =
            [](const QByteArray &directory) { return directory.endsWith("locked") ? EACCES : 0; },
        .statEntry = [](const QByteArray &entry) { return entry.endsWith("vanishing") ? ENOENT : 0; },
        .isUnreadable = [](const QByteArray &entry) { return entry.endsWith("secret"); },
    });

    const auto entries = list();
    EXPECT_EQ(nameSet(entries),
              (QSet<QString>{QStringLiteral("kept"), QStringLiteral("secret"), QStringLiteral("locked")}));
    for (const auto &entry : entries)
        EXPECT_EQ(entry.isReadable, entry.name != QStringLiteral("secret")) << entry.name.toStdString();

    try {
        folderContents(url(QStringLiteral("locked")), {});
        FAIL() << "an unreadable folder was listed";
    } catch (const Error &error) {
        EXPECT_EQ(error.domain(), ErrorDomain::posix);
        EXPECT_EQ(error.code(), EACCES);
        EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("locked")));
    }
    EXPECT_THROW(folderContents(url(QStringLiteral("missing")), {}), Error);
}

TEST_F(FolderContentsTest, SortsNaturallyNewestFirstAndFoldersThenAliasesOnTop) {
    makeFile(QStringLiteral("file10"), 100);
    makeFile(QStringLiteral("File2"), 10);
    makeFile(QStringLiteral("file1"), 1000);
    makeFolder(QStringLiteral("zfolder"), 5000);
    ASSERT_EQ(symlink("/nonexistent", QFile::encodeName(path(QStringLiteral("alias"))).constData()), 0);
    setAge(QFile::encodeName(path(QStringLiteral("alias"))), 1);

    auto byName = list();
    sortFolderEntries(byName, Folder::SortOrder::name, /*keepFoldersOnTop=*/false);
    EXPECT_EQ(names(byName), (QStringList{"alias", "file1", "File2", "file10", "zfolder"}));

    auto byDate = list({.sortOrder = Folder::SortOrder::dateModified});
    sortFolderEntries(byDate, Folder::SortOrder::dateModified, /*keepFoldersOnTop=*/false);
    EXPECT_EQ(names(byDate), (QStringList{"alias", "File2", "file10", "file1", "zfolder"}));

    sortFolderEntries(byDate, Folder::SortOrder::dateModified, /*keepFoldersOnTop=*/true);
    EXPECT_EQ(names(byDate), (QStringList{"zfolder", "alias", "File2", "file10", "file1"}));

    // A large folder lists and sorts without trouble.
    for (int index = 0; index < 2000; ++index)
        makeFileAt(QFile::encodeName(path(QStringLiteral("many%1").arg(index))));
    auto many = list();
    sortFolderEntries(many, Folder::SortOrder::name, /*keepFoldersOnTop=*/true);
    ASSERT_EQ(many.size(), 2005u);
    EXPECT_EQ(many.front().name, QStringLiteral("zfolder"));
    EXPECT_EQ(many[5].name, QStringLiteral("many0"));
    EXPECT_EQ(many[6].name, QStringLiteral("many1"));
    EXPECT_EQ(many.back().name, QStringLiteral("many1999"));
}

} // namespace
} // namespace kestrova

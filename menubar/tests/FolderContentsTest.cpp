#include "menubar/FolderContents.h"
#include "menubar/ContentTypes_p.h"

#include "FolderMenuTesting_p.h"

#include "foundation/errors/Error.h"
#include "store/SortOrderComparator.h"

#include <QDir>
#include <QMimeDatabase>
#include <QTemporaryDir>

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
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

TEST_F(FolderContentsTest, LinksKeepTheirOwnNamesAndAreDescribedByTheirTargets) {
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir().mkpath(elsewhere.filePath(QStringLiteral("target"))));
    const QByteArray targetFolder = QFile::encodeName(QDir(elsewhere.path()).canonicalPath()) + "/target";
    ASSERT_EQ(symlink(targetFolder.constData(), QFile::encodeName(path(QStringLiteral("link"))).constData()),
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
    // Forty links to one file are forty entries, each under its own name; a link to a device is the link.
    const QByteArray targetFile = QFile::encodeName(QDir(elsewhere.path()).canonicalPath()) + "/target.txt";
    makeFileAt(targetFile, 0, "twelve bytes");
    QSet<QString> expected{QStringLiteral("link"), QStringLiteral("dangling"), QStringLiteral("loopA"),
                           QStringLiteral("loopB"), QStringLiteral("zero")};
    for (int index = 0; index < 40; ++index) {
        const QString name = QStringLiteral("copy %1.txt").arg(index);
        ASSERT_EQ(symlink(targetFile.constData(), QFile::encodeName(path(name)).constData()), 0);
        expected.insert(name);
    }
    ASSERT_EQ(symlink("/dev/zero", QFile::encodeName(path(QStringLiteral("zero"))).constData()), 0);

    const auto entries = list();
    EXPECT_EQ(nameSet(entries), expected);
    ASSERT_EQ(entries.size(), std::size_t(expected.size()));
    for (const auto &entry : entries) {
        const QByteArray ownPath = QFile::encodeName(path(entry.name));
        EXPECT_EQ(entry.path, ownPath) << entry.name.toStdString();
        EXPECT_TRUE(entry.isSymbolicLink);
        if (entry.name == QStringLiteral("link")) {
            EXPECT_TRUE(entry.isFolder());
            EXPECT_EQ(entry.resolvedPath, targetFolder);
            EXPECT_EQ(entry.url(), url::fromLocalPath(ownPath, /*isDirectory=*/true));
        } else if (entry.name.startsWith(QStringLiteral("copy "))) {
            EXPECT_EQ(entry.type, FolderEntry::Type::regularFile);
            EXPECT_EQ(entry.resolvedPath, targetFile);
            EXPECT_EQ(entry.resolvedName(), QStringLiteral("target.txt"));
            EXPECT_EQ(entry.size, 12);
        } else if (entry.name == QStringLiteral("zero")) {
            EXPECT_EQ(entry.type, FolderEntry::Type::other);
            EXPECT_EQ(entry.resolvedPath, QByteArray("/dev/zero"));
        } else {
            // Dangling links and loops stay themselves, as aliases whose original is gone.
            EXPECT_TRUE(entry.isAlias()) << entry.name.toStdString();
            EXPECT_EQ(entry.resolvedPath, ownPath);
        }
    }
    // Sorted by the names the rows show.
    auto sorted = entries;
    sortFolderEntries(sorted, Folder::SortOrder::name, /*keepFoldersOnTop=*/false);
    EXPECT_EQ(sorted.front().name, QStringLiteral("copy 0.txt"));
    EXPECT_EQ(sorted.back().name, QStringLiteral("zero"));
}

TEST_F(FolderContentsTest, NamesInTheHiddenListAreHiddenUnlessHiddenItemsShow) {
    for (const char *name : {"shown", "listed", "also listed", "crlf", "tail"})
        makeFile(QString::fromLatin1(name));
    makeFolder(QStringLiteral("listed folder"));
    makeFile(QStringLiteral(".hidden"), 0, "listed\nalso listed\n\nlisted folder\ncrlf\r\nnot here\n");
    const QSet<QString> all{QStringLiteral("shown"),       QStringLiteral("listed"),
                            QStringLiteral("also listed"), QStringLiteral("listed folder"),
                            QStringLiteral("crlf"),        QStringLiteral("tail")};
    EXPECT_EQ(nameSet(list()), (QSet<QString>{QStringLiteral("shown"), QStringLiteral("tail")}));
    QSet<QString> withHidden = all;
    withHidden.insert(QStringLiteral(".hidden"));
    EXPECT_EQ(nameSet(list({.showHiddenItems = true})), withHidden);

    // A huge list is read only up to its limit: a name far beyond it hides nothing, nor does the name
    // cut in half at the limit.
    QByteArray huge = "listed\n";
    huge += QByteArray(300 * 1024, 'x');
    huge += "\ntail\n";
    makeFile(QStringLiteral(".hidden"), 0, huge);
    EXPECT_EQ(nameSet(list()), (QSet<QString>{QStringLiteral("shown"), QStringLiteral("also listed"),
                                              QStringLiteral("listed folder"), QStringLiteral("crlf"),
                                              QStringLiteral("tail")}));

    // Binary bytes are only names that match nothing.
    QByteArray binary;
    for (int byte = 0; byte < 256; ++byte)
        binary += char(byte);
    binary += "\ntail\n";
    binary += binary;
    makeFile(QStringLiteral(".hidden"), 0, binary);
    EXPECT_EQ(nameSet(list()).size(), all.size() - 1);
    EXPECT_FALSE(nameSet(list()).contains(QStringLiteral("tail")));

    // A list that cannot be read, or is no regular file, hides nothing. A pipe is never opened (it would
    // wait for a writer forever), nor followed through a link.
    FolderListingFaults::setShared(
        {.isUnreadable = [](const QByteArray &entry) { return entry.endsWith("/.hidden"); }});
    EXPECT_EQ(nameSet(list()), all);
    FolderListingFaults::setShared({});
    ASSERT_TRUE(QFile::remove(path(QStringLiteral(".hidden"))));
    ASSERT_EQ(mkfifo(QFile::encodeName(path(QStringLiteral("pipe"))).constData(), 0644), 0);
    ASSERT_EQ(symlink("pipe", QFile::encodeName(path(QStringLiteral(".hidden"))).constData()), 0);
    QSet<QString> withPipe = all;
    withPipe.insert(QStringLiteral("pipe"));
    EXPECT_EQ(nameSet(list()), withPipe);
    ASSERT_TRUE(QFile::remove(path(QStringLiteral(".hidden"))));
    ASSERT_EQ(mkfifo(QFile::encodeName(path(QStringLiteral(".hidden"))).constData(), 0644), 0);
    EXPECT_EQ(nameSet(list()), withPipe);
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
    // The link to a device is listed under its own name.
    EXPECT_EQ(nameSet(entries),
              (QSet<QString>{QStringLiteral("x.png"), QStringLiteral("socket"), QStringLiteral("device")}));
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

TEST_F(FolderContentsTest, KindsByNameStayRightWhileWhatIsRememberedStaysBounded) {
    makeFile(QStringLiteral("Makefile"), 1);
    makeFile(QStringLiteral("photo.PNG"), 1);
    makeFile(QStringLiteral("notes.txt"), 1);
    makeFile(QStringLiteral("README-first"), 1);
    makeFile(QStringLiteral("draft~"), 1);
    makeFile(QStringLiteral("plain name"), 1);
    // Names without an extension, and odd extensions such as version numbers, are as many as a folder
    // has entries: a large folder of them must not leave one remembered kind each for the rest of the
    // process.
    const qsizetype asked = 20000;
    for (qsizetype index = 0; index < asked; ++index) {
        contentTypeNameForFileName(index % 2 ? QStringLiteral("report %1 final").arg(index)
                                             : QStringLiteral("version 1.%1").arg(index));
    }
    EXPECT_LT(rememberedContentTypeCount(), asked / 2);

    // Names without a dot are mostly answered without the database: the answer must be the database's.
    for (const QString &name :
         {QStringLiteral("GNUmakefile"), QStringLiteral("makefile"), QStringLiteral("Makefile2"),
          QStringLiteral("CHANGELOG"), QStringLiteral("readme"), QStringLiteral("ReadMe-Ünïcode"),
          QStringLiteral("xreadme"), QStringLiteral("notes,v"), QStringLiteral("a~b~"), QStringLiteral("a~b"),
          QStringLiteral("100%"), QStringLiteral("core"), QStringLiteral("CORE"), QStringLiteral("cores"),
          QStringLiteral("🎵 readme"), QStringLiteral("Straße"), QStringLiteral("~")}) {
        EXPECT_EQ(contentTypeNameForFileName(name),
                  QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension).name())
            << name.toStdString();
    }

    for (int round = 0; round < 2; ++round) {
        QHash<QString, QString> kinds;
        for (const auto &entry : list({.sortOrder = Folder::SortOrder::kind}))
            kinds.insert(entry.name, entry.contentType.value_or(QString()));
        EXPECT_EQ(kinds.value(QStringLiteral("Makefile")), QStringLiteral("text/x-makefile"));
        EXPECT_EQ(kinds.value(QStringLiteral("photo.PNG")), QStringLiteral("image/png"));
        EXPECT_EQ(kinds.value(QStringLiteral("notes.txt")), QStringLiteral("text/plain"));
        EXPECT_EQ(kinds.value(QStringLiteral("README-first")), QStringLiteral("text/x-readme"));
        EXPECT_EQ(kinds.value(QStringLiteral("draft~")), QStringLiteral("application/x-trash"));
        EXPECT_EQ(kinds.value(QStringLiteral("plain name")), QStringLiteral("application/octet-stream"));
    }
}

// A large folder is examined and sorted on several threads; what comes out must be what one thread makes:
// the same entries in the file system's order, and sorts that agree with the plain comparator.
TEST_F(FolderContentsTest, LargeFoldersListAndSortAsOneThreadWould) {
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir().mkpath(elsewhere.filePath(QStringLiteral("target folder"))));
    const QByteArray targetFolder = QFile::encodeName(elsewhere.filePath(QStringLiteral("target folder")));
    // Enough for several threads; names alike for their first sixteen key bytes and beyond, names whose
    // keys are longer than most, accents, numbers, folders, links to files and folders, dangling links and
    // hidden names.
    const int count = 3000;
    for (int index = 0; index < count; ++index) {
        const QString stem = index % 4 == 0 ? QStringLiteral("A rather long shared beginning ").repeated(6) +
                                                  QStringLiteral("%1")
                             : index % 4 == 1 ? QStringLiteral("Café %1.txt")
                             : index % 4 == 2 ? QStringLiteral("Report 2024 %1")
                                              : QStringLiteral("entry%1");
        const QByteArray name = QFile::encodeName(path(stem.arg(index % 1000)));
        const QByteArray unique = name + (index < 1000 ? "" : "-" + QByteArray::number(index));
        if (index % 10 == 0)
            ASSERT_EQ(::mkdir(unique.constData(), 0755), 0);
        else if (index % 23 == 0)
            ASSERT_EQ(::symlink(index % 2 ? targetFolder.constData() : "/nonexistent", unique.constData()),
                      0);
        else if (index % 97 == 0)
            makeFileAt(QFile::encodeName(path(QStringLiteral(".hidden %1").arg(index))));
        else if (index % 5 == 0)
            makeFileAt(unique, /*ageSeconds=*/index % 7);
        else
            ::close(::open(unique.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }

    const auto shared = list();
    // Faults are only asked on one thread: one that fails nothing gives the one-thread listing.
    FolderListingFaults::setShared({.statEntry = [](const QByteArray &) { return 0; }});
    const auto alone = list();
    FolderListingFaults::setShared({});
    ASSERT_EQ(shared.size(), alone.size());
    ASSERT_GT(shared.size(), 2900u);
    for (std::size_t index = 0; index < shared.size(); ++index) {
        const FolderEntry &left = shared[index];
        const FolderEntry &right = alone[index];
        ASSERT_EQ(left.path, right.path) << index;
        EXPECT_EQ(left.resolvedPath, right.resolvedPath);
        EXPECT_EQ(left.name, right.name);
        EXPECT_EQ(left.type, right.type);
        EXPECT_EQ(left.isSymbolicLink, right.isSymbolicLink);
        EXPECT_EQ(left.dateModified, right.dateModified);
    }
    EXPECT_FALSE(names(shared).join(QLatin1Char('|')).contains(QStringLiteral(".hidden")));

    const auto sortedPlainly = [](const std::vector<FolderEntry> &entries, Folder::SortOrder order) {
        const SortOrderComparator comparator(order);
        std::vector<std::pair<SortOrderComparator::Key, const FolderEntry *>> keyed;
        for (const FolderEntry &entry : entries) {
            SortOrderComparator::Key key;
            if (order == Folder::SortOrder::name)
                key.collationKey = comparator.collationKey(entry.name);
            if (order == Folder::SortOrder::kind && entry.contentType)
                key.collationKey = comparator.collationKey(*entry.contentType);
            if (order == Folder::SortOrder::dateModified)
                key.date = entry.dateModified;
            keyed.emplace_back(std::move(key), &entry);
        }
        const auto group = [](const FolderEntry &entry) {
            return entry.isFolder() ? 0 : entry.isAlias() ? 1 : 2;
        };
        std::stable_sort(keyed.begin(), keyed.end(), [&](const auto &lhs, const auto &rhs) {
            if (group(*lhs.second) != group(*rhs.second))
                return group(*lhs.second) < group(*rhs.second);
            return comparator.lessThan(lhs.first, rhs.first);
        });
        QByteArrayList paths;
        for (const auto &[key, entry] : keyed)
            paths << entry->path;
        return paths;
    };
    // By kind without kinds read: every key is missing, so the order within each group is the listing's.
    for (const auto order :
         {Folder::SortOrder::name, Folder::SortOrder::dateModified, Folder::SortOrder::kind}) {
        auto sorted = shared;
        sortFolderEntries(sorted, order, /*keepFoldersOnTop=*/true);
        const auto expected = sortedPlainly(shared, order);
        ASSERT_EQ(sorted.size(), std::size_t(expected.size()));
        for (std::size_t index = 0; index < sorted.size(); ++index)
            ASSERT_EQ(sorted[index].path, expected[qsizetype(index)])
                << "order " << int(order) << " at " << index;
    }
}

} // namespace
} // namespace kestrova

#include "store/SortOrderComparator.h"

#include "foundation/errors/Error.h"
#include "foundation/files/ExtendedAttributes.h"
#include "foundation/files/FileUrl.h"
#include "foundation/files/ResourceValues.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova;

namespace {

class SortOrderComparatorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_temporary.isValid()); }

    QUrl file(const QString &name, const QByteArray &contents = "x") {
        QFile file(m_temporary.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        return url::fromLocalPath(QFile::encodeName(file.fileName()));
    }
    QUrl directory(const QString &name) {
        QDir().mkpath(m_temporary.filePath(name));
        return url::fromLocalPath(QFile::encodeName(m_temporary.filePath(name)), true);
    }

    static QStringList names(const std::vector<QUrl> &urls) {
        QStringList list;
        for (const QUrl &url : urls)
            list << QFile::decodeName(url::localPath(url)).section(QLatin1Char('/'), -1);
        return list;
    }

    QTemporaryDir m_temporary;
};

} // namespace

TEST_F(SortOrderComparatorTest, NamesSortInNaturalOrder) {
    std::vector<QUrl> urls = {file(QStringLiteral("file 10.txt")), file(QStringLiteral("File 2.txt")),
                              file(QStringLiteral("file 1.txt")), directory(QStringLiteral("Beta")),
                              file(QStringLiteral("alpha"))};
    const SortOrderComparator comparator(Folder::SortOrder::name);
    comparator.sort(urls);
    EXPECT_EQ(names(urls),
              (QStringList{QStringLiteral("alpha"), QStringLiteral("Beta"), QStringLiteral("file 1.txt"),
                           QStringLiteral("File 2.txt"), QStringLiteral("file 10.txt")}));
    EXPECT_TRUE(comparator(urls[0], urls[1]));
    EXPECT_FALSE(comparator(urls[1], urls[0]));

    // Names equal but for letter case compare equal and keep their listing order.
    std::vector<QUrl> same = {file(QStringLiteral("readme")), file(QStringLiteral("README"))};
    comparator.sort(same);
    EXPECT_EQ(names(same), (QStringList{QStringLiteral("readme"), QStringLiteral("README")}));
    std::reverse(same.begin(), same.end());
    comparator.sort(same);
    EXPECT_EQ(names(same), (QStringList{QStringLiteral("README"), QStringLiteral("readme")}));

    // Entries of any kind sort by the URL they carry; a name that is not UTF-8 still sorts.
    struct Entry {
        QUrl url;
        int tag;
    };
    std::vector<Entry> entries = {
        {file(QStringLiteral("b")), 1},
        {url::fromLocalPath(QFile::encodeName(m_temporary.path()) + "/\xff name"), 2},
        {file(QStringLiteral("a")), 3}};
    comparator.sort(entries, [](const Entry &entry) { return entry.url; });
    EXPECT_EQ(entries[0].tag, 3);
    EXPECT_EQ(entries[1].tag, 1);
}

TEST_F(SortOrderComparatorTest, DatesNewestFirstAndMissingValuesAtTheirEnd) {
    const QUrl old = file(QStringLiteral("old"));
    const QUrl recent = file(QStringLiteral("recent"));
    const QUrl middle = file(QStringLiteral("middle"));
    url::setContentModificationDate(old, platform::Date(100));
    url::setContentModificationDate(middle, platform::Date(5000));
    url::setContentModificationDate(recent, platform::Date(9000));
    const QUrl missing =
        url::fromLocalPath(QFile::encodeName(m_temporary.filePath(QStringLiteral("missing"))));

    std::vector<QUrl> urls = {old, missing, middle, recent};
    SortOrderComparator(Folder::SortOrder::dateModified).sort(urls);
    EXPECT_EQ(names(urls), (QStringList{QStringLiteral("recent"), QStringLiteral("middle"),
                                        QStringLiteral("old"), QStringLiteral("missing")}));

    url::setContentAccessDate(old, platform::Date::now().addingTimeInterval(3600));
    urls = {recent, old, missing};
    SortOrderComparator(Folder::SortOrder::dateAccessed).sort(urls);
    EXPECT_EQ(names(urls).first(), QStringLiteral("old"));
    EXPECT_EQ(names(urls).last(), QStringLiteral("missing"));

    // Kinds: an item without a type first, then by MIME type name.
    urls = {file(QStringLiteral("picture.png"), "\x89PNG\r\n\x1a\n"), directory(QStringLiteral("sub")),
            missing, file(QStringLiteral("notes.txt"), "hello")};
    SortOrderComparator(Folder::SortOrder::kind).sort(urls);
    EXPECT_EQ(names(urls), (QStringList{QStringLiteral("missing"), QStringLiteral("picture.png"),
                                        QStringLiteral("sub"), QStringLiteral("notes.txt")}));
}

TEST_F(SortOrderComparatorTest, TagsSortByTheirJoinedNames) {
    const QUrl work = file(QStringLiteral("work"));
    const QUrl blue = file(QStringLiteral("blue"));
    const QUrl none = file(QStringLiteral("none"));
    try {
        ExtendedAttributes(work).set(QByteArray("Red,Work"), QStringLiteral("xdg.tags"));
        ExtendedAttributes(blue).set(QByteArray("Blue"), QStringLiteral("xdg.tags"));
    } catch (const Error &) {
        GTEST_SKIP() << "this file system keeps no user attributes";
    }
    const SortOrderComparator comparator(Folder::SortOrder::tags);
    EXPECT_EQ(comparator.key(work).collationKey, comparator.collationKey(QStringLiteral("Red,Work")));
    std::vector<QUrl> urls = {work, blue, none};
    comparator.sort(urls);
    EXPECT_EQ(names(urls),
              (QStringList{QStringLiteral("none"), QStringLiteral("blue"), QStringLiteral("work")}));
}

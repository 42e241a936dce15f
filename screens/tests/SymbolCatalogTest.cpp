#include "screens/symbols/SymbolCatalog.h"
#include "screens/symbols/SymbolSearch.h"

#include "platform/status/SymbolImage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QSvgRenderer>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using platform::SymbolImage;

QString iconSetDirectory() {
    const QString found =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("bootstrap-icons/svg"),
                               QStandardPaths::LocateDirectory);
    return found.isEmpty() ? QStringLiteral("/usr/share/bootstrap-icons/svg") : found;
}

QByteArray digestOf(const QImage &image) {
    return QCryptographicHash::hash(QByteArrayView(image.constBits(), image.sizeInBytes()),
                                    QCryptographicHash::Sha1);
}

TEST(SymbolCatalogTest, namesAreUniqueDottedAndKeepTheApplicationsOwnNames) {
    const QStringList &names = allSymbolNames();
    static const QRegularExpression dotted(QStringLiteral("^[a-z0-9]+(\\.[a-z0-9]+)*$"));
    QSet<QString> seen;
    for (const QString &name : names) {
        EXPECT_TRUE(dotted.match(name).hasMatch()) << name.toStdString();
        EXPECT_FALSE(seen.contains(name)) << "twice: " << name.toStdString();
        seen.insert(name);
    }
    // Names stored in settings and drawn by the application itself; the picker must offer them as they are.
    for (const char *used : {"eyes",
                             "folder",
                             "folder.fill",
                             "house.fill",
                             "doc.fill",
                             "doc.text",
                             "hammer",
                             "questionmark.app.fill",
                             "arrow.down.circle",
                             "xmark",
                             "checkmark",
                             "ellipsis",
                             "gearshape",
                             "gearshape.2",
                             "magnifyingglass",
                             "square.and.arrow.up",
                             "square.and.arrow.down",
                             "folder.badge.plus",
                             "folder.badge.minus",
                             "photo",
                             "film",
                             "music.note",
                             "shippingbox.fill",
                             "arrow.uturn.backward",
                             "nosign",
                             "sparkles",
                             "car",
                             "car.2",
                             "ladybug",
                             "1.magnifyingglass",
                             "airpod.gen3.left",
                             "airport.extreme",
                             "menubar.rectangle",
                             "filemenu.and.selection"}) {
        EXPECT_TRUE(seen.contains(QString::fromLatin1(used))) << used;
    }
    // Related symbols stand together: a family's variants follow each other.
    const qsizetype house = names.indexOf(QStringLiteral("house"));
    EXPECT_EQ(names.mid(house, 2), QStringList({"house", "house.fill"}));
    const qsizetype firstArrow = names.indexOf(QStringLiteral("arrow.up"));
    const qsizetype lastArrow = names.indexOf(QStringLiteral("arrow.down"));
    EXPECT_LT(std::abs(firstArrow - lastArrow), 100);
    EXPECT_LT(names.indexOf(QStringLiteral("square.and.arrow.up")), names.indexOf(QStringLiteral("folder")));
    EXPECT_LT(names.indexOf(QStringLiteral("folder")), names.indexOf(QStringLiteral("arrow.up")));
}

TEST(SymbolCatalogTest, everyNameDrawsItsOwnGlyphAndEveryGlyphIsOffered) {
    const QStringList &names = allSymbolNames();
    const qsizetype glyphCount =
        QDir(iconSetDirectory()).entryList({QStringLiteral("*.svg")}, QDir::Files).size();
    ASSERT_GT(glyphCount, 1000) << "the bootstrap-icons package is not installed";
    // Every glyph but the sixty-odd logos of companies, which are not offered.
    EXPECT_LE(names.size(), glyphCount);
    EXPECT_GE(names.size(), glyphCount - 70);

    const QImage fallback = SymbolImage(QStringLiteral("no.such.symbol"), 32).image();
    QSet<QByteArray> drawnImages;
    for (const QString &name : names) {
        const SymbolImage symbol(name, 32);
        ASSERT_TRUE(symbol.isKnown()) << name.toStdString();
        const QImage image = symbol.image();
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        EXPECT_NE(image, fallback) << name.toStdString();
        drawnImages.insert(digestOf(image));
    }
    // The set draws a few glyphs twice under different file names; otherwise two names drawing the same
    // picture would mean one of them reached another name's glyph.
    QSet<QByteArray> setImages;
    for (const QString &file : QDir(iconSetDirectory()).entryList({QStringLiteral("*.svg")}, QDir::Files)) {
        QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        QSvgRenderer(iconSetDirectory() + QLatin1Char('/') + file).render(&painter);
        painter.end();
        setImages.insert(digestOf(image));
    }
    // Names draw as many distinct pictures as they are, but for the few the set itself draws twice.
    const qsizetype setDuplicates = glyphCount - setImages.size();
    EXPECT_GE(drawnImages.size(), names.size() - setDuplicates);
    EXPECT_LE(drawnImages.size(), setImages.size());
}

TEST(SymbolCatalogTest, keywordRowsKeepTheirForm) {
    const std::vector<SymbolCatalogRow> &rows = symbolCatalog();
    const QSet<QString> names(allSymbolNames().cbegin(), allSymbolNames().cend());
    EXPECT_GE(rows.size(), 300u);
    QString previous;
    for (const SymbolCatalogRow &row : rows) {
        const std::string where = row.name.toStdString();
        EXPECT_TRUE(names.contains(row.name)) << where;
        EXPECT_LT(previous, row.name) << "rows out of order or repeated at " << where;
        previous = row.name;
        EXPECT_GE(row.keywords.size(), 1) << where;
        EXPECT_LE(row.keywords.size(), 8) << where;
        for (qsizetype index = 0; index < row.keywords.size(); ++index) {
            const QString &keyword = row.keywords[index];
            EXPECT_FALSE(keyword.isEmpty()) << where;
            EXPECT_EQ(keyword, keyword.toLower()) << where;
            EXPECT_EQ(keyword, keyword.trimmed()) << where;
            if (index > 0) {
                EXPECT_LT(row.keywords[index - 1], keyword) << "unsorted or repeated in " << where;
            }
        }
    }
}

TEST(SymbolCatalogTest, keywordIndexListsEachRowsNameOnceUnderEachOfItsKeywords) {
    const QHash<QString, QStringList> &index = symbolNamesByKeyword();
    qsizetype entries = 0;
    QSet<QString> keywords;
    for (const SymbolCatalogRow &row : symbolCatalog()) {
        for (const QString &keyword : row.keywords) {
            keywords.insert(keyword);
            ++entries;
            EXPECT_TRUE(index.value(keyword).contains(row.name)) << keyword.toStdString();
        }
    }
    EXPECT_EQ(index.size(), keywords.size());
    qsizetype indexed = 0;
    for (auto entry = index.cbegin(); entry != index.cend(); ++entry) {
        EXPECT_FALSE(entry->isEmpty()) << entry.key().toStdString();
        EXPECT_EQ(QSet<QString>(entry->cbegin(), entry->cend()).size(), entry->size())
            << entry.key().toStdString();
        indexed += entry->size();
    }
    EXPECT_EQ(indexed, entries);

    // Lookups are exact; a symbol's name is no keyword unless a row says so.
    EXPECT_FALSE(index.contains(QStringLiteral("Home")));
    EXPECT_FALSE(index.contains(QStringLiteral("folder")));
    EXPECT_EQ(index.value(QStringLiteral("home.fill")), QStringList({"house.fill"}));
    const QStringList remove = index.value(QStringLiteral("remove"));
    for (const char *name : {"minus.circle", "folder.badge.minus", "trash", "xmark"})
        EXPECT_TRUE(remove.contains(QString::fromLatin1(name))) << name;
    // Each subject a person looks for has its words.
    for (const char *keyword : {"document", "directory", "download", "computer", "play", "music", "people",
                                "weather", "rain", "money", "currency", "settings", "search", "delete"}) {
        EXPECT_GE(index.value(QString::fromLatin1(keyword)).size(), 2) << keyword;
    }
}

TEST(SymbolCatalogTest, synonymsNameSymbolsOfTheCatalogue) {
    const QSet<QString> names(allSymbolNames().cbegin(), allSymbolNames().cend());
    const QHash<QString, QStringList> &synonyms = SymbolSearch::symbolSynonyms();
    ASSERT_FALSE(synonyms.isEmpty());
    for (auto entry = synonyms.cbegin(); entry != synonyms.cend(); ++entry) {
        for (const QString &name : *entry)
            EXPECT_TRUE(names.contains(name)) << entry.key().toStdString() << ": " << name.toStdString();
    }
}

} // namespace
} // namespace kestrova

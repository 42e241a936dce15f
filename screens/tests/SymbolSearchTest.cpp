#include "screens/symbols/SymbolSearch.h"

#include "screens/symbols/SymbolCatalog.h"
#include "screens/symbols/WordNeighbourProvider.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

// A small catalogue whose answers can be worked out by hand.
struct Fixture {
    QStringList names = {"pawprint",
                         "pawprint.fill",
                         "star",
                         "star.fill",
                         "star.circle",
                         "hand.raised",
                         "square.and.arrow.up",
                         "car",
                         "car.2",
                         "shippingbox",
                         "archivebox",
                         "box.fill",
                         "sun.max",
                         "cloud.sun",
                         "tortoise",
                         "cares.badge",
                         "moon",
                         "moon.stars"};
    QHash<QString, QStringList> keywords = {
        {"favorite", {"star"}},   {"box", {"archivebox", "shippingbox"}},
        {"animal", {"tortoise"}}, {"car", {"car"}},
        {"", {"car.2"}},          {"weather", {"sun.max", "cloud.sun", "moon.stars"}},
        {"sun", {"moon.stars"}},
    };
    QHash<QString, QStringList> synonyms = {{"animal", {"pawprint", "pawprint.fill"}}};
};

// Answers every text with a fixed list of words and remembers what it was asked.
class RecordingNeighbours : public WordNeighbourProvider {
public:
    explicit RecordingNeighbours(QStringList words)
        : m_words(std::move(words)) {}
    QStringList neighbours(const QString &text, int maximumCount) const override {
        m_asked.append(text);
        return m_words.mid(0, maximumCount);
    }
    QStringList m_words;
    mutable QStringList m_asked;
};

TEST(SymbolSearchTest, ordersSynonymsThenKeywordsThenNamesAndForgivesWordForms) {
    const Fixture data;
    const SymbolSearch search(data.names, data.keywords, data.synonyms);
    // Trimmed and lower-cased; synonyms first, then the keyword's names, then names containing the word.
    EXPECT_EQ(search.searchResults(QStringLiteral("  Animal \n")),
              QStringList({"pawprint", "pawprint.fill", "tortoise"}));
    EXPECT_EQ(SymbolSearch::wordForms(QStringLiteral("boxes")), QStringList({"boxes", "boxe", "box"}));
    EXPECT_EQ(SymbolSearch::wordForms(QStringLiteral("car")), QStringList({"car", "cars", "cares"}));
    EXPECT_EQ(search.searchResults(QStringLiteral("boxes")),
              QStringList({"archivebox", "shippingbox", "box.fill"}));
    // "cares" is one of car's forms and a component of its own.
    EXPECT_EQ(search.searchResults(QStringLiteral("car")), QStringList({"car", "car.2", "cares.badge"}));
    EXPECT_EQ(search.searchResults(QStringLiteral("weather")),
              QStringList({"sun.max", "cloud.sun", "moon.stars"}));
    EXPECT_EQ(search.searchResults(QStringLiteral("sun")),
              QStringList({"moon.stars", "sun.max", "cloud.sun"}));
    // A whole dotted name finds its symbol though no component equals it.
    EXPECT_EQ(search.searchResults(QStringLiteral("Pawprint.Fill")), QStringList({"pawprint.fill"}));
    // A blank query is the whole catalogue in its order.
    EXPECT_EQ(search.searchResults(QStringLiteral(" \t")), data.names);
    EXPECT_EQ(search.searchResults(QString()), data.names);
}

TEST(SymbolSearchTest, severalWordsKeepWhatEveryWordFindsInTheFirstWordsOrder) {
    const Fixture data;
    const SymbolSearch search(data.names, data.keywords, data.synonyms);
    EXPECT_EQ(search.searchResults(QStringLiteral("star fill")), QStringList({"star.fill"}));
    EXPECT_EQ(search.searchResults(QStringLiteral("fill star")), QStringList({"star.fill"}));
    EXPECT_EQ(search.searchResults(QStringLiteral("weather moon")), QStringList({"moon.stars"}));
    EXPECT_EQ(search.searchResults(QStringLiteral("sun\nweather sun")),
              QStringList({"moon.stars", "sun.max", "cloud.sun"}));
    EXPECT_TRUE(search.searchResults(QStringLiteral("star car")).isEmpty());
}

TEST(SymbolSearchTest, emptyFormsAndJoiningWordsMatchNothingOnTheirOwn) {
    const Fixture data;
    const SymbolSearch search(data.names, data.keywords, data.synonyms);
    // "s" and "es" lose their ending to nothing; nothing must not match every name, nor the empty keyword.
    const QStringList forS = search.searchResults(QStringLiteral("s"));
    EXPECT_FALSE(forS.contains(QStringLiteral("car.2")));
    EXPECT_FALSE(forS.contains(QStringLiteral("moon")));
    EXPECT_TRUE(forS.contains(QStringLiteral("moon.stars")));
    const QStringList forEs = search.searchResults(QStringLiteral("es"));
    EXPECT_FALSE(forEs.contains(QStringLiteral("car")));
    EXPECT_FALSE(forEs.contains(QStringLiteral("car.2")));
    EXPECT_TRUE(forEs.contains(QStringLiteral("tortoise")));
    // A name's "and" is not one of its words, but "and" is still part of "hand".
    EXPECT_EQ(search.searchResults(QStringLiteral("and")), QStringList({"hand.raised"}));
    // Punctuation and very long queries find nothing and return.
    EXPECT_TRUE(search.searchResults(QStringLiteral("....")).isEmpty());
    EXPECT_TRUE(search.searchResults(QStringLiteral("*?!. ,;:")).isEmpty());
    EXPECT_TRUE(search.searchResults(QString(1000, QLatin1Char('a'))).isEmpty());
}

TEST(SymbolSearchTest, neighboursOfTheQueryAsTypedFollowTheDirectResultsAtMostTwenty) {
    QStringList names;
    QStringList neighbourWords;
    for (int index = 0; index < 30; ++index) {
        names.append(QStringLiteral("glyph%1").arg(index));
        neighbourWords.append(QStringLiteral("glyph%1").arg(index));
    }
    names.append(QStringLiteral("star"));
    const QHash<QString, QStringList> noKeywords;
    const QHash<QString, QStringList> noSynonyms;
    auto neighbours = std::make_shared<RecordingNeighbours>(neighbourWords);
    const SymbolSearch search(names, noKeywords, noSynonyms, neighbours);

    const QStringList results = search.searchResults(QStringLiteral(" Star  glyph1"));
    // The query as typed reaches the neighbours, once however many words it has.
    EXPECT_EQ(neighbours->m_asked, QStringList({" Star  glyph1"}));
    // Both words are given the same twenty neighbours' names (of the thirty their words reach): "star"
    // itself is dropped by "glyph1", which keeps every neighbour's name, not only those its forms reach.
    EXPECT_EQ(results, neighbourWords.mid(0, SymbolSearch::kNeighbourResultCount));

    neighbours->m_asked.clear();
    const QStringList single = search.symbolsMatchingWord(QStringLiteral("star"), QStringLiteral("Star"));
    EXPECT_EQ(neighbours->m_asked, QStringList({"Star"}));
    ASSERT_EQ(single.size(), 1 + SymbolSearch::kNeighbourResultCount);
    EXPECT_EQ(single.first(), QStringLiteral("star"));
    EXPECT_EQ(single[1], QStringLiteral("glyph0"));

    const SymbolSearch withoutNeighbours(names, noKeywords, noSynonyms);
    EXPECT_EQ(withoutNeighbours.searchResults(QStringLiteral("Star")), QStringList({"star"}));
}

TEST(SymbolSearchTest, theCatalogueAnswersWhatAPersonTypes) {
    const SymbolSearch &search = SymbolSearch::catalogue();
    EXPECT_EQ(search.searchResults(QString()), allSymbolNames());
    const QStringList folders = search.searchResults(QStringLiteral("Folders"));
    ASSERT_FALSE(folders.isEmpty());
    EXPECT_EQ(folders.first(), QStringLiteral("folder"));
    EXPECT_TRUE(folders.contains(QStringLiteral("folder.fill")));
    // Found by keyword before any name containing the word.
    const QStringList documents = search.searchResults(QStringLiteral("documents"));
    ASSERT_FALSE(documents.isEmpty());
    EXPECT_FALSE(documents.first().contains(QStringLiteral("document"))) << documents.first().toStdString();
    EXPECT_TRUE(documents.contains(QStringLiteral("doc.fill")));
    EXPECT_TRUE(search.searchResults(QStringLiteral("rain")).contains(QStringLiteral("cloud.rain")));
    EXPECT_EQ(search.searchResults(QStringLiteral("animal")).mid(0, 2),
              QStringList({"ladybug", "ladybug.fill"}));
    const QStringList arrows = search.searchResults(QStringLiteral("arrow down circle"));
    EXPECT_TRUE(arrows.contains(QStringLiteral("arrow.down.circle.fill")));
    for (const QString &name : arrows)
        EXPECT_TRUE(name.contains(QStringLiteral("down"))) << name.toStdString();
    EXPECT_TRUE(search.searchResults(QStringLiteral("s")).size() < allSymbolNames().size());
    EXPECT_TRUE(search.searchResults(QString(500, QLatin1Char('.'))).isEmpty());
}

} // namespace
} // namespace kestrova

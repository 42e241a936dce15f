#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

namespace kestrova {

class WordNeighbourProvider;

// Turns the text of the symbol picker's search field into the names to show. A word finds a symbol through
// the synonym table, the keyword index, the parts of its dotted name (or the whole name) and, when a
// provider is installed, words near the query in meaning; a plural or singular form finds the same. A query
// of several words shows what every word finds, in the first word's order; a blank query shows the whole
// catalogue.
//
// The search refers to the tables it is given, which must outlive it; it keeps nothing between queries.
class SymbolSearch {
public:
    static constexpr int kNeighbourCount = 20;
    static constexpr int kNeighbourResultCount = 20;

    // `namesByKeyword` as symbolNamesByKeyword gives it; `synonyms` maps a search term to names.
    SymbolSearch(const QStringList &allSymbolNames, const QHash<QString, QStringList> &namesByKeyword,
                 const QHash<QString, QStringList> &synonyms,
                 std::shared_ptr<const WordNeighbourProvider> neighbours = nullptr);

    // Over the program's catalogue and synonym table, with no word neighbours.
    static const SymbolSearch &catalogue();
    // The program's synonym table.
    static const QHash<QString, QStringList> &symbolSynonyms();

    QStringList searchResults(const QString &searchQuery) const;
    // One lower-cased word of `searchQuery`; the query as typed is what the neighbours are asked about.
    QStringList symbolsMatchingWord(const QString &word, const QString &searchQuery) const;
    // Synonym, then keyword, then name matches of the terms; may hold a name more than once.
    QStringList symbolsForTerms(const QStringList &terms) const;
    // Whether the name at `nameIndex` of the catalogue is the first term or has a component containing a term.
    bool nameMatches(qsizetype nameIndex, const QStringList &terms) const;

    // The forms a word is searched by: itself, with and without "s" and "es" endings, never empty.
    static QStringList wordForms(const QString &word);

private:
    // What the neighbours of the query as typed find, at most kNeighbourResultCount names.
    QStringList neighbourResults(const QString &searchQuery) const;

    const QStringList &m_allSymbolNames;
    const QHash<QString, QStringList> &m_namesByKeyword;
    const QHash<QString, QStringList> &m_synonyms;
    std::shared_ptr<const WordNeighbourProvider> m_neighbours;
    // Each name's dotted components without "and", split once.
    QList<QStringList> m_components;
    QHash<QString, qsizetype> m_positions;
};

} // namespace kestrova

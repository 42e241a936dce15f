#include "SymbolSearch.h"

#include "screens/symbols/SymbolCatalog.h"
#include "screens/symbols/WordNeighbourProvider.h"

#include <QRegularExpression>
#include <QSet>

namespace kestrova {
namespace {

QStringList withoutDuplicates(const QStringList &names) {
    QStringList result;
    QSet<QString> seen;
    for (const QString &name : names) {
        if (!seen.contains(name)) {
            seen.insert(name);
            result.append(name);
        }
    }
    return result;
}

bool listsName(const QHash<QString, QStringList> &table, const QStringList &terms, const QString &name) {
    for (const QString &term : terms) {
        const auto found = table.constFind(term);
        if (found != table.constEnd() && found->contains(name))
            return true;
    }
    return false;
}

} // namespace

SymbolSearch::SymbolSearch(const QStringList &allSymbolNames, const QHash<QString, QStringList> &namesByKeyword,
                           const QHash<QString, QStringList> &synonyms,
                           std::shared_ptr<const WordNeighbourProvider> neighbours)
    : m_allSymbolNames(allSymbolNames), m_namesByKeyword(namesByKeyword), m_synonyms(synonyms),
      m_neighbours(std::move(neighbours)) {
    m_components.reserve(m_allSymbolNames.size());
    for (const QString &name : m_allSymbolNames) {
        m_positions.insert(name, m_components.size());
        QStringList components = name.split(QLatin1Char('.'), Qt::SkipEmptyParts);
        // A name's "and" joins its words; it is no word a user looks for.
        components.removeAll(QStringLiteral("and"));
        components.removeDuplicates();
        m_components.append(components);
    }
}

const SymbolSearch &SymbolSearch::catalogue() {
    static const SymbolSearch search(allSymbolNames(), symbolNamesByKeyword(), symbolSynonyms());
    return search;
}

const QHash<QString, QStringList> &SymbolSearch::symbolSynonyms() {
    // The icon set draws one animal; a search for animals should still find it.
    static const QHash<QString, QStringList> synonyms = {
        {QStringLiteral("animal"), {QStringLiteral("ladybug"), QStringLiteral("ladybug.fill")}},
    };
    return synonyms;
}

QStringList SymbolSearch::wordForms(const QString &word) {
    QStringList forms = {
        word,
        word.endsWith(QLatin1Char('s')) ? word : word + QLatin1Char('s'),
        word.endsWith(QLatin1String("es")) ? word : word + QLatin1String("es"),
        word.endsWith(QLatin1Char('s')) ? word.chopped(1) : word,
        word.endsWith(QLatin1String("es")) ? word.chopped(2) : word,
    };
    // "s" and "es" would leave an empty form, which every name contains.
    forms.removeAll(QString());
    forms.removeDuplicates();
    return forms;
}

QStringList SymbolSearch::searchResults(const QString &searchQuery) const {
    const QString query = searchQuery.trimmed().toLower();
    if (query.isEmpty())
        return m_allSymbolNames;
    static const QRegularExpression whitespace(QStringLiteral("\\s+"),
                                               QRegularExpression::UseUnicodePropertiesOption);
    QStringList words = query.split(whitespace, Qt::SkipEmptyParts);
    words.removeDuplicates(); // a word met again cannot narrow the result further

    // Every word is given the same neighbours (those of the query as typed), so they are asked for once.
    const QStringList neighbours = neighbourResults(searchQuery);
    QStringList results = withoutDuplicates(symbolsForTerms(wordForms(words.first())) + neighbours);
    // Later words only narrow the first word's names, so each is asked only about the names still left.
    for (qsizetype wordIndex = 1; wordIndex < words.size() && !results.isEmpty(); ++wordIndex) {
        const QStringList terms = wordForms(words[wordIndex]);
        results.removeIf([&](const QString &name) {
            return !neighbours.contains(name) && !listsName(m_synonyms, terms, name) &&
                   !listsName(m_namesByKeyword, terms, name) && !nameMatches(m_positions.value(name, -1), terms);
        });
    }
    return results;
}

QStringList SymbolSearch::symbolsMatchingWord(const QString &word, const QString &searchQuery) const {
    return withoutDuplicates(symbolsForTerms(wordForms(word)) + neighbourResults(searchQuery));
}

QStringList SymbolSearch::neighbourResults(const QString &searchQuery) const {
    if (!m_neighbours)
        return {};
    QStringList neighbourTerms = m_neighbours->neighbours(searchQuery, kNeighbourCount);
    neighbourTerms.removeAll(QString());
    return symbolsForTerms(neighbourTerms).mid(0, kNeighbourResultCount);
}

QStringList SymbolSearch::symbolsForTerms(const QStringList &terms) const {
    QStringList results;
    for (const QString &term : terms)
        results += m_synonyms.value(term);
    for (const QString &term : terms)
        results += m_namesByKeyword.value(term);
    for (qsizetype index = 0; index < m_allSymbolNames.size(); ++index) {
        if (nameMatches(index, terms))
            results.append(m_allSymbolNames[index]);
    }
    return results;
}

bool SymbolSearch::nameMatches(qsizetype nameIndex, const QStringList &terms) const {
    if (terms.isEmpty() || nameIndex < 0 || nameIndex >= m_allSymbolNames.size())
        return false;
    if (terms.first() == m_allSymbolNames[nameIndex])
        return true;
    // A component equal to a term also contains it.
    for (const QString &component : m_components[nameIndex]) {
        for (const QString &term : terms) {
            if (!term.isEmpty() && component.contains(term))
                return true;
        }
    }
    return false;
}

} // namespace kestrova

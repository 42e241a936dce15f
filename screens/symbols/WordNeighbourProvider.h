#pragma once

#include <QString>
#include <QStringList>

namespace kestrova {

// English words near a text in meaning, as a word embedding finds them, for the symbol search. The program
// ships none: Debian packages no English word vectors, so the search runs on keywords, synonyms and names
// alone until a provider is installed.
class WordNeighbourProvider {
public:
    virtual ~WordNeighbourProvider() = default;

    // At most `maximumCount` words, nearest first by cosine distance, with no distance threshold. `text` is
    // looked up exactly as given.
    virtual QStringList neighbours(const QString &text, int maximumCount) const = 0;
};

} // namespace kestrova

#include "MenuText.h"

#include <QSet>
#include <QStringList>

#include <unicode/ubrk.h>

#include <memory>
#include <vector>

namespace kestrova {

namespace {

// The start of every grapheme cluster, and the text's length at the end. ICU rather than
// QTextBoundaryFinder: Qt 6.4 splits a flag that follows an emoji sequence into its two letters.
std::vector<qsizetype> graphemeBoundaries(const QString &text) {
    std::vector<qsizetype> boundaries{0};
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UBreakIterator, void (*)(UBreakIterator *)> iterator(
        ubrk_open(UBRK_CHARACTER, "", reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()),
                  &status),
        ubrk_close);
    if (U_FAILURE(status) || !iterator) {
        // Without ICU's rules, whole code points at least never leave half a surrogate pair.
        for (qsizetype index = 1; index <= text.size(); ++index)
            if (index == text.size() || !text.at(index).isLowSurrogate())
                boundaries.push_back(index);
        return boundaries;
    }
    for (int32_t position = ubrk_next(iterator.get()); position != UBRK_DONE;
         position = ubrk_next(iterator.get()))
        boundaries.push_back(position);
    if (boundaries.back() != text.size())
        boundaries.push_back(text.size());
    return boundaries;
}

// A text split into user-perceived characters, cut by character counts.
class Characters {
public:
    explicit Characters(const QString &text)
        : m_text(text)
        , m_boundaries(graphemeBoundaries(text)) {}

    qsizetype count() const { return qsizetype(m_boundaries.size()) - 1; }
    QString first(qsizetype count) const { return m_text.left(m_boundaries[std::size_t(clamped(count))]); }
    QString last(qsizetype count) const {
        return m_text.mid(m_boundaries[std::size_t(this->count() - clamped(count))]);
    }

private:
    qsizetype clamped(qsizetype count) const { return std::clamp<qsizetype>(count, 0, this->count()); }

    QString m_text;
    std::vector<qsizetype> m_boundaries;
};

bool isWordSeparator(QChar character) {
    return character == QLatin1Char('\t') || character.category() == QChar::Separator_Space;
}

QString removingLeadingWhitespace(const QString &text) {
    qsizetype start = 0;
    while (start < text.size() && text.at(start).isSpace())
        ++start;
    return text.mid(start);
}

QString removingTrailingWhitespace(const QString &text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

bool isPunctuation(const QString &character) {
    return !character.isEmpty() && QChar::isPunct(character.toUcs4().value(0));
}

} // namespace

qsizetype characterCount(const QString &text) {
    return Characters(text).count();
}

QString wordWrapped(int width, const QString &text) {
    if (text.isEmpty())
        return {};
    QStringList words;
    qsizetype wordStart = 0;
    for (qsizetype index = 0; index <= text.size(); ++index) {
        if (index == text.size() || isWordSeparator(text.at(index))) {
            words << text.mid(wordStart, index - wordStart);
            wordStart = index + 1;
        }
    }
    QString wrapped;
    qsizetype lineLength = 0;
    for (const QString &word : words) {
        const qsizetype length = characterCount(word);
        if (lineLength > 0 && lineLength + length + 1 > width) {
            wrapped += QLatin1Char('\n');
            lineLength = 0;
        }
        wrapped += word + QLatin1Char(' ');
        lineLength += length + 1;
    }
    return wrapped;
}

QString truncated(int maximumLength, TruncationPosition position, const QString &truncationText,
                  const QString &text) {
    if (maximumLength < 1)
        return {};
    const Characters characters(text);
    if (characters.count() <= maximumLength)
        return text;
    const Characters marker(truncationText);
    if (marker.count() >= maximumLength)
        return marker.first(maximumLength);

    const qsizetype kept = maximumLength - marker.count();
    const bool isLongWithoutLeadingSpace = characterCount(removingLeadingWhitespace(text)) > maximumLength;
    switch (position) {
    case TruncationPosition::head:
        if (!isLongWithoutLeadingSpace)
            return characters.last(maximumLength);
        return truncationText + removingLeadingWhitespace(characters.last(kept));
    case TruncationPosition::middle:
        if (!isLongWithoutLeadingSpace)
            return characters.last(maximumLength);
        return characters.first((kept + 1) / 2) + truncationText + characters.last(kept / 2);
    case TruncationPosition::tail: {
        QString start = characters.first(kept);
        const Characters startCharacters(start);
        if (isPunctuation(startCharacters.last(1)))
            start = startCharacters.first(startCharacters.count() - 1);
        return removingTrailingWhitespace(start) + truncationText;
    }
    }
    return text;
}

QString splittingCamelCase(const QString &text) {
    QString spaced;
    for (const QChar character : text) {
        if (character >= QLatin1Char('A') && character <= QLatin1Char('Z'))
            spaced += QLatin1Char(' ');
        spaced += character;
    }
    return spaced.trimmed();
}

namespace {

QString capitalizedWord(const QString &word) {
    const Characters characters(word.toLower());
    return characters.first(1).toUpper() + characters.last(characters.count() - 1);
}

} // namespace

QString titleCased(const QString &text) {
    static const QSet<QString> minorWords{QStringLiteral("a"),   QStringLiteral("an"),  QStringLiteral("and"),
                                          QStringLiteral("at"),  QStringLiteral("but"), QStringLiteral("by"),
                                          QStringLiteral("for"), QStringLiteral("in"),  QStringLiteral("nor"),
                                          QStringLiteral("of"),  QStringLiteral("on"),  QStringLiteral("or"),
                                          QStringLiteral("so"),  QStringLiteral("the"), QStringLiteral("to"),
                                          QStringLiteral("up"),  QStringLiteral("yet")};
    QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (qsizetype index = 0; index < words.size(); ++index) {
        if (index > 0 && minorWords.contains(words[index]))
            continue;
        words[index] = capitalizedWord(words[index]);
    }
    return words.join(QLatin1Char(' '));
}

QString capitalizedFirstCharacter(const QString &text) {
    const Characters characters(text);
    return characters.first(1).toUpper() + characters.last(characters.count() - 1);
}

QMargins menuItemPadding(Edges edges) {
    constexpr int kVertical = 4;
    constexpr int kHorizontal = 14;
    return QMargins(edges & Edge::leading ? kHorizontal : 0, edges & Edge::top ? kVertical : 0,
                    edges & Edge::trailing ? kHorizontal : 0, edges & Edge::bottom ? kVertical : 0);
}

} // namespace kestrova

#pragma once

#include <QFlags>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <memory>
#include <optional>
#include <source_location>

struct URegularExpression;

namespace kestrova {

// A compiled regular expression (ICU syntax) that searches QString text. The engine works in UTF-16
// offsets; every Match it hands out carries whole-character ranges instead, widened so that a combining
// mark or an emoji sequence is never split. The exact engine ranges stay available in the match's
// checkingResult.
//
// A Regex is an immutable value: copies share one compiled pattern and every search runs on its own
// matcher, so one Regex may be used from several threads at once. Text longer than the engine can address
// (2^31 − 1 UTF-16 units) has no match and is never changed by a replacement.
//
// Patterns written into the program use the literal constructor, which stops the process with
// "Invalid regular expression: …" when the engine rejects them; patterns that come from run-time text go
// through fromPattern, which fails softly.
class Regex {
public:
    enum class Option : quint32 {
        caseInsensitive = 1u << 0,
        allowCommentsAndWhitespace = 1u << 1,
        ignoreMetacharacters = 1u << 2,
        dotMatchesLineSeparators = 1u << 3,
        anchorsMatchLines = 1u << 4,
        useUnixLineSeparators = 1u << 5,
        useUnicodeWordBoundaries = 1u << 6,
    };
    Q_DECLARE_FLAGS(Options, Option)

    enum class MatchingOption : quint32 {
        // Only matches that follow on from each other without a gap, starting at the beginning of the text.
        anchored = 1u << 0,
    };
    Q_DECLARE_FLAGS(MatchingOptions, MatchingOption)

    // A half-open range of QString positions [lowerBound, upperBound).
    struct Range {
        qsizetype lowerBound = 0;
        qsizetype upperBound = 0;

        qsizetype length() const { return upperBound - lowerBound; }
        bool isEmpty() const { return upperBound == lowerBound; }
        friend bool operator==(const Range &, const Range &) = default;
        friend size_t qHash(const Range &range, size_t seed);
    };

    class Engine;

    // What the engine reported for one match: the exact UTF-16 range of the whole match (index 0) and of
    // every capture group, absent for a group that took no part in the match.
    class CheckingResult {
    public:
        CheckingResult() = default;
        CheckingResult(QList<std::optional<Range>> ranges, std::shared_ptr<const Engine> engine);

        qsizetype numberOfRanges() const { return m_ranges.size(); }
        std::optional<Range> range(qsizetype index = 0) const;
        // The range of the capture group with this name; absent when the pattern has no such group or the
        // group took no part in the match.
        std::optional<Range> range(const QString &groupName) const;

        friend bool operator==(const CheckingResult &, const CheckingResult &);
        friend size_t qHash(const CheckingResult &result, size_t seed);

    private:
        QList<std::optional<Range>> m_ranges;
        std::shared_ptr<const Engine> m_engine;
    };

    struct Match {
        struct Group {
            QString value;
            Range range;

            friend bool operator==(const Group &, const Group &) = default;
            friend size_t qHash(const Group &group, size_t seed);
        };

        QString originalString;
        CheckingResult checkingResult;
        QString value;
        // The match widened to whole characters; value is the text in it.
        Range range;
        // The groups that took part in the match with non-empty text, in capture order: a group that was
        // skipped or matched nothing leaves no entry, so later groups move up.
        QList<Group> groups;

        // The named capture group, widened to whole characters like the numbered ones; nothing when the
        // pattern has no such group or it matched no text.
        std::optional<Group> group(const QString &name) const;

        friend bool operator==(const Match &, const Match &) = default;
        friend size_t qHash(const Match &match, size_t seed);
    };

    // Copies share the compiled pattern; there is no separate move, so a moved-from Regex stays usable.
    Regex(const Regex &) = default;
    Regex &operator=(const Regex &) = default;

    // A pattern written into the program. An invalid one is a programming error that stops the process,
    // naming the caller's file and line.
    template <std::size_t N>
    explicit Regex(const char (&pattern)[N], Options options = {},
                   const std::source_location &location = std::source_location::current())
        : Regex(compileLiteral(pattern, options, location)) {}

    // A pattern from run-time text. Absent when the engine rejects it; the engine's reason then goes to
    // *engineError when that is given.
    static std::optional<Regex> fromPattern(const QString &pattern, Options options = {},
                                            QString *engineError = nullptr);

    // Adopts an engine object compiled elsewhere; the Regex owns it from now on and never sets text on it.
    // Absent for a null pointer.
    static std::optional<Regex> fromEngineRegex(URegularExpression *adopted);

    QString pattern() const;
    Options options() const;

    // The pattern that matches the given text literally.
    static QString escapingPattern(const QString &text);

    std::optional<Match> firstMatch(const QString &text) const;
    QList<Match> allMatches(const QString &text) const;

    friend bool operator==(const Regex &, const Regex &);
    friend size_t qHash(const Regex &regex, size_t seed);

private:
    explicit Regex(std::shared_ptr<const Engine> engine);
    static Regex compileLiteral(const char *pattern, Options options, const std::source_location &location);

    friend QString replacingFirstMatch(const QString &, const Regex &, const QString &);
    friend QString replacingMatches(const QString &, const Regex &, const QString &, MatchingOptions);

    std::shared_ptr<const Engine> m_engine;
};

size_t qHash(const Regex::Range &range, size_t seed = 0);
size_t qHash(const Regex::CheckingResult &result, size_t seed = 0);
size_t qHash(const Regex::Match::Group &group, size_t seed = 0);
size_t qHash(const Regex::Match &match, size_t seed = 0);
size_t qHash(const Regex &regex, size_t seed = 0);

Q_DECLARE_OPERATORS_FOR_FLAGS(Regex::Options)
Q_DECLARE_OPERATORS_FOR_FLAGS(Regex::MatchingOptions)

std::optional<Regex::Match> firstMatch(const QString &text, const Regex &regex);

// Templates use the engine's syntax: $n is group n's text ($0 the whole match), a backslash quotes the next
// character. Both functions replace the engine's exact match, never the widened Match::range, so text next
// to a match (an accent after a replaced letter) is kept. A template the engine rejects (a group number the
// pattern lacks) leaves the text unchanged.
QString replacingFirstMatch(const QString &text, const Regex &regex, const QString &replacementTemplate);
QString replacingMatches(const QString &text, const Regex &regex, const QString &replacementTemplate,
                         Regex::MatchingOptions options = {});

template <std::size_t N>
QString replacingFirstMatch(const QString &text, const char (&pattern)[N],
                            const QString &replacementTemplate) {
    return replacingFirstMatch(text, Regex(pattern), replacementTemplate);
}

template <std::size_t N>
QString replacingMatches(const QString &text, const char (&pattern)[N], const QString &replacementTemplate,
                         Regex::MatchingOptions options = {}) {
    return replacingMatches(text, Regex(pattern), replacementTemplate, options);
}

// The exact texts of the given engine results in text; a result whose range lies outside text is left out.
QStringList matchedStrings(const QList<Regex::CheckingResult> &results, const QString &text);

} // namespace kestrova

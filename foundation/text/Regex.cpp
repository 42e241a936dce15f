#include "Regex.h"

#include "foundation/errors/FatalReason.h"

#include <QHashFunctions>

#include <unicode/ubrk.h>
#include <unicode/uregex.h>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

namespace kestrova {

class Regex::Engine {
public:
    explicit Engine(URegularExpression *compiled)
        : m_compiled(compiled) {}
    ~Engine() { uregex_close(m_compiled); }
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    // Reading the pattern and flags and cloning are the only uses of the shared object; every search
    // works on a clone, which is what makes sharing one compiled pattern across threads safe.
    const URegularExpression *compiled() const { return m_compiled; }

private:
    URegularExpression *m_compiled;
};

namespace {

using EngineHandle = std::unique_ptr<URegularExpression, decltype(&uregex_close)>;
using BreakHandle = std::unique_ptr<UBreakIterator, decltype(&ubrk_close)>;

constexpr std::array<std::pair<Regex::Option, uint32_t>, 7> kEngineFlags{{
    {Regex::Option::caseInsensitive, UREGEX_CASE_INSENSITIVE},
    {Regex::Option::allowCommentsAndWhitespace, UREGEX_COMMENTS},
    {Regex::Option::ignoreMetacharacters, UREGEX_LITERAL},
    {Regex::Option::dotMatchesLineSeparators, UREGEX_DOTALL},
    {Regex::Option::anchorsMatchLines, UREGEX_MULTILINE},
    {Regex::Option::useUnixLineSeparators, UREGEX_UNIX_LINES},
    {Regex::Option::useUnicodeWordBoundaries, UREGEX_UWORD},
}};

uint32_t engineFlags(Regex::Options options) {
    uint32_t flags = 0;
    for (const auto &[option, flag] : kEngineFlags) {
        if (options.testFlag(option))
            flags |= flag;
    }
    return flags;
}

bool fitsEngine(const QString &text) {
    return text.size() < std::numeric_limits<int32_t>::max();
}

// ICU refuses a null text pointer, and an empty QString may not have a buffer.
const UChar *engineText(const QString &text) {
    static const UChar kEmpty[1] = {0};
    return text.isEmpty() ? kEmpty : reinterpret_cast<const UChar *>(text.utf16());
}

int32_t engineLength(const QString &text) {
    return static_cast<int32_t>(text.size());
}

[[noreturn]] void stopOnInvalidLiteralPattern(const QString &engineError,
                                              const std::source_location &location) {
    fatalError(FatalReason(QStringLiteral("Invalid regular expression: ") + engineError), location);
}

std::shared_ptr<const Regex::Engine> compile(const QString &pattern, Regex::Options options,
                                             QString *engineError) {
    if (!fitsEngine(pattern)) {
        if (engineError)
            *engineError = QStringLiteral("the pattern is too long");
        return nullptr;
    }
    UParseError parseError{};
    UErrorCode status = U_ZERO_ERROR;
    // The engine refuses an explicit length of zero but takes the empty pattern as a terminated text.
    const int32_t length = pattern.isEmpty() ? -1 : engineLength(pattern);
    URegularExpression *compiled =
        uregex_open(engineText(pattern), length, engineFlags(options), &parseError, &status);
    if (U_SUCCESS(status) && compiled)
        return std::make_shared<const Regex::Engine>(compiled);
    uregex_close(compiled);
    if (engineError) {
        *engineError = QString::fromLatin1(u_errorName(status));
        if (parseError.offset >= 0)
            *engineError += QStringLiteral(" at offset %1 of the pattern").arg(parseError.offset);
    }
    return nullptr;
}

QString enginePattern(const Regex::Engine &engine) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    const UChar *text = uregex_pattern(engine.compiled(), &length, &status);
    if (U_FAILURE(status) || !text)
        return {};
    if (length < 0)
        length = u_strlen(text);
    return QString(reinterpret_cast<const QChar *>(text), length);
}

Regex::Options engineOptions(const Regex::Engine &engine) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t flags = uregex_flags(engine.compiled(), &status);
    Regex::Options options;
    if (U_FAILURE(status))
        return options;
    for (const auto &[option, flag] : kEngineFlags) {
        if (static_cast<uint32_t>(flags) & flag)
            options |= option;
    }
    return options;
}

bool isSameExpression(const Regex::Engine &left, const Regex::Engine &right) {
    return &left == &right ||
           (engineOptions(left) == engineOptions(right) && enginePattern(left) == enginePattern(right));
}

size_t hashExpression(const Regex::Engine &engine, size_t seed) {
    return qHashMulti(seed, enginePattern(engine), engineOptions(engine).toInt());
}

// A matcher of its own over text. The engine keeps the text pointer, so text must outlive the handle.
EngineHandle searchOver(const Regex::Engine &engine, const QString &text) {
    EngineHandle none(nullptr, &uregex_close);
    if (!fitsEngine(text))
        return none;
    UErrorCode status = U_ZERO_ERROR;
    EngineHandle matcher(uregex_clone(engine.compiled(), &status), &uregex_close);
    if (U_FAILURE(status) || !matcher)
        return none;
    uregex_setText(matcher.get(), engineText(text), engineLength(text), &status);
    if (U_FAILURE(status))
        return none;
    return matcher;
}

// Widens UTF-16 ranges of one text to whole grapheme clusters; the break iterator is made on first use.
// An empty range inside a cluster widens to that cluster, so even an empty match never points into one.
class CharacterWidener {
public:
    explicit CharacterWidener(const QString &text)
        : m_text(text) {}

    Regex::Range widen(Regex::Range exact) {
        return {boundaryAtOrBefore(exact.lowerBound), boundaryAtOrAfter(exact.upperBound)};
    }

private:
    UBreakIterator *iterator() {
        if (!m_iterator) {
            UErrorCode status = U_ZERO_ERROR;
            m_iterator.reset(
                ubrk_open(UBRK_CHARACTER, "", engineText(m_text), engineLength(m_text), &status));
            if (U_FAILURE(status))
                m_iterator.reset();
        }
        return m_iterator.get();
    }

    qsizetype boundaryAtOrBefore(qsizetype position) {
        UBreakIterator *breaks = iterator();
        if (!breaks || ubrk_isBoundary(breaks, static_cast<int32_t>(position)))
            return position;
        const int32_t boundary = ubrk_preceding(breaks, static_cast<int32_t>(position));
        return boundary == UBRK_DONE ? 0 : boundary;
    }

    qsizetype boundaryAtOrAfter(qsizetype position) {
        UBreakIterator *breaks = iterator();
        if (!breaks || ubrk_isBoundary(breaks, static_cast<int32_t>(position)))
            return position;
        const int32_t boundary = ubrk_following(breaks, static_cast<int32_t>(position));
        return boundary == UBRK_DONE ? m_text.size() : boundary;
    }

    const QString &m_text;
    BreakHandle m_iterator{nullptr, &ubrk_close};
};

std::optional<Regex::Range> engineRange(URegularExpression *matcher, int32_t group) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t start = uregex_start(matcher, group, &status);
    const int32_t end = uregex_end(matcher, group, &status);
    if (U_FAILURE(status) || start < 0 || end < start)
        return std::nullopt;
    return Regex::Range{start, end};
}

Regex::Match matchAtCurrentResult(URegularExpression *matcher,
                                  const std::shared_ptr<const Regex::Engine> &engine, const QString &text,
                                  CharacterWidener &widener) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t groupCount = std::max(uregex_groupCount(matcher, &status), 0);
    QList<std::optional<Regex::Range>> ranges;
    ranges.reserve(groupCount + 1);
    for (int32_t group = 0; group <= groupCount; ++group)
        ranges.append(engineRange(matcher, group));

    Regex::Match match;
    match.originalString = text;
    match.range = widener.widen(ranges.first().value_or(Regex::Range{}));
    match.value = text.sliced(match.range.lowerBound, match.range.length());
    for (qsizetype group = 1; group < ranges.size(); ++group) {
        const std::optional<Regex::Range> &exact = ranges.at(group);
        if (!exact || exact->isEmpty())
            continue;
        const Regex::Range widened = widener.widen(*exact);
        match.groups.append({text.sliced(widened.lowerBound, widened.length()), widened});
    }
    match.checkingResult = Regex::CheckingResult(std::move(ranges), engine);
    return match;
}

// One pass of replacing up to limit matches. The engine writes the text before each match followed by the
// template's expansion; the rest of the text after the last replaced match is left to the caller, because
// the engine's own tail step starts after the last match it found, not the last one replaced. With a null
// buffer the pass only measures. Absent when the engine fails, for example on a template it rejects.
struct ReplacementPass {
    qint64 length = 0;
    qsizetype replacedCount = 0;
    int32_t endOfLastReplaced = 0;
};

std::optional<ReplacementPass> runReplacementPass(URegularExpression *matcher,
                                                  const QString &replacementTemplate, qsizetype limit,
                                                  bool anchored, UChar *buffer, int32_t capacity) {
    UErrorCode findStatus = U_ZERO_ERROR;
    uregex_reset(matcher, 0, &findStatus);
    ReplacementPass pass;
    UChar *cursor = buffer;
    int32_t remaining = capacity;
    while (pass.replacedCount < limit && uregex_findNext(matcher, &findStatus) && U_SUCCESS(findStatus)) {
        if (anchored && uregex_start(matcher, 0, &findStatus) != pass.endOfLastReplaced)
            break;
        UErrorCode appendStatus = U_ZERO_ERROR;
        pass.length +=
            uregex_appendReplacement(matcher, engineText(replacementTemplate),
                                     engineLength(replacementTemplate), &cursor, &remaining, &appendStatus);
        if (U_FAILURE(appendStatus) && appendStatus != U_BUFFER_OVERFLOW_ERROR)
            return std::nullopt;
        pass.endOfLastReplaced = uregex_end(matcher, 0, &findStatus);
        ++pass.replacedCount;
    }
    if (U_FAILURE(findStatus))
        return std::nullopt;
    return pass;
}

QString replacingUpTo(const Regex::Engine &engine, const QString &text, const QString &replacementTemplate,
                      qsizetype limit, bool anchored) {
    if (!fitsEngine(replacementTemplate))
        return text;
    EngineHandle matcher = searchOver(engine, text);
    if (!matcher)
        return text;
    const std::optional<ReplacementPass> measured =
        runReplacementPass(matcher.get(), replacementTemplate, limit, anchored, nullptr, 0);
    if (!measured || measured->replacedCount == 0)
        return text;
    const qint64 tailLength = text.size() - measured->endOfLastReplaced;
    if (measured->length + tailLength >= std::numeric_limits<int32_t>::max())
        return text;

    QString result(static_cast<qsizetype>(measured->length), Qt::Uninitialized);
    const std::optional<ReplacementPass> written =
        runReplacementPass(matcher.get(), replacementTemplate, limit, anchored,
                           reinterpret_cast<UChar *>(result.data()), static_cast<int32_t>(result.size()));
    if (!written || written->length != measured->length ||
        written->endOfLastReplaced != measured->endOfLastReplaced)
        return text;
    result.append(QStringView(text).sliced(written->endOfLastReplaced));
    return result;
}

} // namespace

size_t qHash(const Regex::Range &range, size_t seed) {
    return qHashMulti(seed, range.lowerBound, range.upperBound);
}

Regex::CheckingResult::CheckingResult(QList<std::optional<Range>> ranges,
                                      std::shared_ptr<const Engine> engine)
    : m_ranges(std::move(ranges))
    , m_engine(std::move(engine)) {}

std::optional<Regex::Range> Regex::CheckingResult::range(qsizetype index) const {
    if (index < 0 || index >= m_ranges.size())
        return std::nullopt;
    return m_ranges.at(index);
}

std::optional<Regex::Range> Regex::CheckingResult::range(const QString &groupName) const {
    if (!m_engine || !fitsEngine(groupName))
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    EngineHandle lookup(uregex_clone(m_engine->compiled(), &status), &uregex_close);
    if (U_FAILURE(status) || !lookup)
        return std::nullopt;
    const int32_t group =
        uregex_groupNumberFromName(lookup.get(), engineText(groupName), engineLength(groupName), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    return range(group);
}

bool operator==(const Regex::CheckingResult &left, const Regex::CheckingResult &right) {
    if (left.m_ranges != right.m_ranges)
        return false;
    if (!left.m_engine || !right.m_engine)
        return left.m_engine == right.m_engine;
    return isSameExpression(*left.m_engine, *right.m_engine);
}

size_t qHash(const Regex::CheckingResult &result, size_t seed) {
    size_t hash = qHashMulti(seed, result.m_ranges.size());
    for (const std::optional<Regex::Range> &range : result.m_ranges)
        hash = range ? qHash(*range, hash) : qHashMulti(hash, -1);
    return result.m_engine ? hashExpression(*result.m_engine, hash) : hash;
}

std::optional<Regex::Match::Group> Regex::Match::group(const QString &name) const {
    const std::optional<Range> exact = checkingResult.range(name);
    if (!exact || exact->length() < 1)
        return std::nullopt;
    CharacterWidener widener(originalString);
    const Range widened = widener.widen(*exact);
    return Group{originalString.sliced(widened.lowerBound, widened.length()), widened};
}

size_t qHash(const Regex::Match::Group &group, size_t seed) {
    return qHashMulti(seed, group.value, group.range);
}

size_t qHash(const Regex::Match &match, size_t seed) {
    size_t hash = qHashMulti(seed, match.originalString, match.checkingResult, match.value, match.range,
                             match.groups.size());
    for (const Regex::Match::Group &group : match.groups)
        hash = qHash(group, hash);
    return hash;
}

Regex::Regex(std::shared_ptr<const Engine> engine)
    : m_engine(std::move(engine)) {}

Regex Regex::compileLiteral(const char *pattern, Options options, const std::source_location &location) {
    QString engineError;
    std::shared_ptr<const Engine> engine = compile(QString::fromUtf8(pattern), options, &engineError);
    if (!engine)
        stopOnInvalidLiteralPattern(engineError, location);
    return Regex(std::move(engine));
}

std::optional<Regex> Regex::fromPattern(const QString &pattern, Options options, QString *engineError) {
    std::shared_ptr<const Engine> engine = compile(pattern, options, engineError);
    if (!engine)
        return std::nullopt;
    return Regex(std::move(engine));
}

std::optional<Regex> Regex::fromEngineRegex(URegularExpression *adopted) {
    if (!adopted)
        return std::nullopt;
    return Regex(std::make_shared<const Engine>(adopted));
}

QString Regex::pattern() const {
    return enginePattern(*m_engine);
}

Regex::Options Regex::options() const {
    return engineOptions(*m_engine);
}

QString Regex::escapingPattern(const QString &text) {
    QString escaped;
    escaped.reserve(text.size() * 2);
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        const bool isAsciiPunctuationOrSpace = unit >= 0x20 && unit < 0x7f && !character.isLetterOrNumber();
        if (isAsciiPunctuationOrSpace)
            escaped.append(QLatin1Char('\\'));
        escaped.append(character);
    }
    return escaped;
}

std::optional<Regex::Match> Regex::firstMatch(const QString &text) const {
    EngineHandle matcher = searchOver(*m_engine, text);
    if (!matcher)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    if (!uregex_findNext(matcher.get(), &status) || U_FAILURE(status))
        return std::nullopt;
    CharacterWidener widener(text);
    return matchAtCurrentResult(matcher.get(), m_engine, text, widener);
}

QList<Regex::Match> Regex::allMatches(const QString &text) const {
    QList<Match> matches;
    EngineHandle matcher = searchOver(*m_engine, text);
    if (!matcher)
        return matches;
    CharacterWidener widener(text);
    UErrorCode status = U_ZERO_ERROR;
    while (uregex_findNext(matcher.get(), &status) && U_SUCCESS(status))
        matches.append(matchAtCurrentResult(matcher.get(), m_engine, text, widener));
    return matches;
}

bool operator==(const Regex &left, const Regex &right) {
    return isSameExpression(*left.m_engine, *right.m_engine);
}

size_t qHash(const Regex &regex, size_t seed) {
    return hashExpression(*regex.m_engine, seed);
}

std::optional<Regex::Match> firstMatch(const QString &text, const Regex &regex) {
    return regex.firstMatch(text);
}

QString replacingFirstMatch(const QString &text, const Regex &regex, const QString &replacementTemplate) {
    return replacingUpTo(*regex.m_engine, text, replacementTemplate, /*limit=*/1, /*anchored=*/false);
}

QString replacingMatches(const QString &text, const Regex &regex, const QString &replacementTemplate,
                         Regex::MatchingOptions options) {
    return replacingUpTo(*regex.m_engine, text, replacementTemplate, std::numeric_limits<qsizetype>::max(),
                         options.testFlag(Regex::MatchingOption::anchored));
}

QStringList matchedStrings(const QList<Regex::CheckingResult> &results, const QString &text) {
    QStringList strings;
    for (const Regex::CheckingResult &result : results) {
        const std::optional<Regex::Range> range = result.range();
        if (!range || range->lowerBound < 0 || range->upperBound > text.size() ||
            range->lowerBound > range->upperBound)
            continue;
        strings.append(text.sliced(range->lowerBound, range->length()));
    }
    return strings;
}

} // namespace kestrova

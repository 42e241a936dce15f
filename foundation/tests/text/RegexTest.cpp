#include "foundation/text/Regex.h"

#include <QSet>
#include <QTextBoundaryFinder>

#include <gtest/gtest.h>
#include <unicode/uregex.h>

#include <random>

using kestrova::Regex;

namespace {

const QString kDecomposedCafe = QStringLiteral("cafe\u0301");
// Man, woman and girl joined by zero-width joiners: one character of eight UTF-16 units.
const QString kFamily = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
const QString kFrenchFlag = QStringLiteral("\U0001F1EB\U0001F1F7");
const QString kGermanFlag = QStringLiteral("\U0001F1E9\U0001F1EA");

Regex::Range exactRange(const Regex::Match &match, qsizetype group = 0) {
    return match.checkingResult.range(group).value_or(Regex::Range{-1, -1});
}

bool isCharacterBoundary(const QString &text, qsizetype position) {
    if (position == 0 || position == text.size())
        return true;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(position);
    return finder.isAtBoundary();
}

} // namespace

TEST(RegexTest, MatchRangesCoverWholeCharacters) {
    const std::optional<Regex::Match> accented =
        Regex("e").firstMatch(kDecomposedCafe + QStringLiteral(" noir"));
    ASSERT_TRUE(accented);
    EXPECT_EQ(accented->range, (Regex::Range{3, 5}));
    EXPECT_EQ(accented->value, QStringLiteral("e\u0301"));
    EXPECT_EQ(exactRange(*accented), (Regex::Range{3, 4}));

    const QString family = QStringLiteral("a") + kFamily + QStringLiteral("b");
    const std::optional<Regex::Match> woman = Regex("(\\x{1F469})").firstMatch(family);
    ASSERT_TRUE(woman);
    EXPECT_EQ(woman->range, (Regex::Range{1, 1 + kFamily.size()}));
    EXPECT_EQ(woman->value, kFamily);
    ASSERT_EQ(woman->groups.size(), 1);
    EXPECT_EQ(woman->groups.first().value, kFamily);
    EXPECT_EQ(exactRange(*woman, 1), (Regex::Range{4, 6}));

    const QList<Regex::Match> indicators =
        Regex("[\\x{1F1E6}-\\x{1F1FF}]").allMatches(kFrenchFlag + kGermanFlag);
    ASSERT_EQ(indicators.size(), 4);
    EXPECT_EQ(indicators.at(1).range, (Regex::Range{0, 4}));
    EXPECT_EQ(indicators.at(1).value, kFrenchFlag);
    EXPECT_EQ(indicators.at(2).value, kGermanFlag);

    const std::optional<Regex::Match> viaText =
        kestrova::firstMatch(kFrenchFlag + kGermanFlag, Regex("\\x{1F1EA}"));
    ASSERT_TRUE(viaText);
    EXPECT_EQ(viaText->range, (Regex::Range{4, 8}));
    EXPECT_EQ(viaText->originalString, kFrenchFlag + kGermanFlag);
}

TEST(RegexTest, GroupsKeepOnlyThoseThatTookPartWithText) {
    const std::optional<Regex::Match> alternative = Regex("(a)|(b)").firstMatch(QStringLiteral("b"));
    ASSERT_TRUE(alternative);
    EXPECT_EQ(alternative->checkingResult.numberOfRanges(), 3);
    EXPECT_FALSE(alternative->checkingResult.range(1));
    ASSERT_EQ(alternative->groups.size(), 1);
    EXPECT_EQ(alternative->groups.first(), (Regex::Match::Group{QStringLiteral("b"), {0, 1}}));

    const std::optional<Regex::Match> emptyFirst = Regex("(x*)(y)(z)?").firstMatch(QStringLiteral("ay"));
    ASSERT_TRUE(emptyFirst);
    ASSERT_EQ(emptyFirst->groups.size(), 1);
    EXPECT_EQ(emptyFirst->groups.first().value, QStringLiteral("y"));
    EXPECT_EQ(exactRange(*emptyFirst, 1), (Regex::Range{1, 1}));

    const std::optional<Regex::Match> date =
        Regex("(?<year>\\d{4})-(?<month>\\d\\d)(?<day>-\\d\\d)?").firstMatch(QStringLiteral("on 2024-05"));
    ASSERT_TRUE(date);
    EXPECT_EQ(date->checkingResult.range(QStringLiteral("month")), (Regex::Range{8, 10}));
    EXPECT_FALSE(date->checkingResult.range(QStringLiteral("day")));
    EXPECT_FALSE(date->checkingResult.range(QStringLiteral("hour")));
    EXPECT_FALSE(Regex::Match().checkingResult.range(QStringLiteral("year")));
}

TEST(RegexTest, ReplacementsExpandTemplates) {
    const Regex digit("\\d");
    const QString text = QStringLiteral("x1y2");
    EXPECT_EQ(kestrova::replacingFirstMatch(text, digit, QStringLiteral("[$0]")), QStringLiteral("x[1]y2"));
    EXPECT_EQ(kestrova::replacingMatches(text, digit, QStringLiteral("[$0]")), QStringLiteral("x[1]y[2]"));
    EXPECT_EQ(kestrova::replacingFirstMatch(text, "(\\w)(\\d)", QStringLiteral("$2$1")),
              QStringLiteral("1xy2"));
    EXPECT_EQ(kestrova::replacingMatches(text, "(\\w)(\\d)", QStringLiteral("$2$1")), QStringLiteral("1x2y"));
    EXPECT_EQ(kestrova::replacingMatches(text, digit, QStringLiteral("\\$0")), QStringLiteral("x$0y$0"));
    EXPECT_EQ(
        kestrova::replacingMatches(QStringLiteral("TypeName(detail: 1) more"), "(\\(|\\s).+", QString()),
        QStringLiteral("TypeName"));
    EXPECT_EQ(kestrova::replacingMatches(QStringLiteral("abc"), "x*", QStringLiteral("-")),
              QStringLiteral("-a-b-c-"));
    const std::optional<Regex> empty = Regex::fromPattern(QString());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->pattern(), QString());
    EXPECT_EQ(kestrova::replacingMatches(QStringLiteral("ab"), *empty, QStringLiteral("-")),
              QStringLiteral("-a-b-"));

    const QString noDigits = QStringLiteral("xyz");
    EXPECT_FALSE(digit.firstMatch(noDigits));
    EXPECT_TRUE(digit.allMatches(noDigits).isEmpty());
    EXPECT_EQ(kestrova::replacingFirstMatch(noDigits, digit, QStringLiteral("[$0]")), noDigits);
    EXPECT_EQ(kestrova::replacingMatches(noDigits, digit, QStringLiteral("[$0]")), noDigits);
    EXPECT_EQ(kestrova::replacingMatches(QString(), digit, QStringLiteral("[$0]")), QString());
}

TEST(RegexTest, ReplacingFirstAndAllAgreeBesideCombiningMarksAndEmoji) {
    const Regex letterE("e");
    EXPECT_EQ(kestrova::replacingFirstMatch(kDecomposedCafe, letterE, QStringLiteral("E")),
              QStringLiteral("cafE\u0301"));
    EXPECT_EQ(kestrova::replacingMatches(kDecomposedCafe, letterE, QStringLiteral("E")),
              QStringLiteral("cafE\u0301"));

    const QString thumbsUpMediumSkin = QStringLiteral("a\U0001F44D\U0001F3FDb");
    const Regex thumbsUp("\\x{1F44D}");
    EXPECT_EQ(thumbsUp.firstMatch(thumbsUpMediumSkin)->value, QStringLiteral("\U0001F44D\U0001F3FD"));
    EXPECT_EQ(kestrova::replacingFirstMatch(thumbsUpMediumSkin, thumbsUp, QStringLiteral("X")),
              QStringLiteral("aX\U0001F3FDb"));
    EXPECT_EQ(kestrova::replacingMatches(thumbsUpMediumSkin, thumbsUp, QStringLiteral("X")),
              QStringLiteral("aX\U0001F3FDb"));
}

TEST(RegexTest, AnchoredReplacementStopsAtTheFirstGap) {
    const Regex letterA("a");
    const QString text = QStringLiteral("aab a");
    EXPECT_EQ(kestrova::replacingMatches(text, letterA, QStringLiteral("-"), Regex::MatchingOption::anchored),
              QStringLiteral("--b a"));
    EXPECT_EQ(kestrova::replacingMatches(text, letterA, QStringLiteral("-")), QStringLiteral("--b -"));
    EXPECT_EQ(kestrova::replacingMatches(QStringLiteral("ba"), letterA, QStringLiteral("-"),
                                         Regex::MatchingOption::anchored),
              QStringLiteral("ba"));
}

TEST(RegexTest, RunTimePatternsAndTemplatesFailSoftly) {
    QString engineError;
    EXPECT_FALSE(Regex::fromPattern(QStringLiteral("(unclosed"), {}, &engineError));
    EXPECT_TRUE(engineError.startsWith(QStringLiteral("U_REGEX_MISMATCHED_PAREN")))
        << engineError.toStdString();
    EXPECT_FALSE(Regex::fromPattern(QStringLiteral("[a-")));
    EXPECT_FALSE(Regex::fromPattern(QStringLiteral("a{2,1}")));
    EXPECT_FALSE(Regex::fromPattern(QStringLiteral("\\")));
    EXPECT_FALSE(Regex::fromEngineRegex(nullptr));

    const std::optional<Regex> digits = Regex::fromPattern(QStringLiteral("(\\d+)"));
    ASSERT_TRUE(digits);
    const QString text = QStringLiteral("a12b");
    EXPECT_EQ(kestrova::replacingMatches(text, *digits, QStringLiteral("$9")), text);
    EXPECT_EQ(kestrova::replacingFirstMatch(text, *digits, QStringLiteral("${missing}")), text);
    EXPECT_EQ(kestrova::replacingFirstMatch(text, *digits, QStringLiteral("<$1>")), QStringLiteral("a<12>b"));
}

TEST(RegexTest, OptionsReadBackAndDecideEquality) {
    const std::optional<Regex> insensitive = Regex::fromPattern(
        QStringLiteral("ab.c"), Regex::Option::caseInsensitive | Regex::Option::anchorsMatchLines);
    ASSERT_TRUE(insensitive);
    EXPECT_EQ(insensitive->pattern(), QStringLiteral("ab.c"));
    EXPECT_EQ(insensitive->options(), Regex::Option::caseInsensitive | Regex::Option::anchorsMatchLines);
    EXPECT_EQ(insensitive->firstMatch(QStringLiteral("xAB-C"))->value, QStringLiteral("AB-C"));
    EXPECT_FALSE(Regex("ab.c").firstMatch(QStringLiteral("xAB-C")));
    EXPECT_FALSE(Regex("a.b").firstMatch(QStringLiteral("a\nb")));
    EXPECT_TRUE(Regex("a.b", Regex::Option::dotMatchesLineSeparators).firstMatch(QStringLiteral("a\nb")));
    EXPECT_TRUE(Regex("a.b", Regex::Option::ignoreMetacharacters).firstMatch(QStringLiteral("xa.b")));
    EXPECT_FALSE(Regex("a.b", Regex::Option::ignoreMetacharacters).firstMatch(QStringLiteral("axb")));

    const Regex plain("ab.c");
    EXPECT_EQ(plain, *Regex::fromPattern(QStringLiteral("ab.c")));
    EXPECT_NE(plain, *insensitive);
    EXPECT_NE(plain, Regex("ab.d"));
    const QSet<Regex> distinct{plain, *Regex::fromPattern(QStringLiteral("ab.c")), *insensitive};
    EXPECT_EQ(distinct.size(), 2);

    UErrorCode status = U_ZERO_ERROR;
    URegularExpression *compiled = uregex_openC("x+", UREGEX_CASE_INSENSITIVE, nullptr, &status);
    ASSERT_TRUE(U_SUCCESS(status));
    const std::optional<Regex> adopted = Regex::fromEngineRegex(compiled);
    ASSERT_TRUE(adopted);
    EXPECT_EQ(*adopted, Regex("x+", Regex::Option::caseInsensitive));
    EXPECT_EQ(adopted->firstMatch(QStringLiteral("aXxb"))->range, (Regex::Range{1, 3}));

    const std::optional<Regex::Match> first = plain.firstMatch(QStringLiteral("ab-c"));
    const std::optional<Regex::Match> again = Regex("ab.c").firstMatch(QStringLiteral("ab-c"));
    ASSERT_TRUE(first && again);
    EXPECT_EQ(*first, *again);
    EXPECT_EQ(qHash(*first), qHash(*again));
    EXPECT_NE(*first, *insensitive->firstMatch(QStringLiteral("ab-c")));
}

TEST(RegexTest, EscapedPatternMatchesItselfOnly) {
    const Regex escaped = *Regex::fromPattern(Regex::escapingPattern(QStringLiteral("a.b")));
    EXPECT_TRUE(escaped.firstMatch(QStringLiteral("a.b")));
    EXPECT_FALSE(escaped.firstMatch(QStringLiteral("axb")));

    const QString punctuation = QStringLiteral(" !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
    const std::optional<Regex> everything =
        Regex::fromPattern(Regex::escapingPattern(punctuation), Regex::Option::allowCommentsAndWhitespace);
    ASSERT_TRUE(everything);
    const std::optional<Regex::Match> match = everything->firstMatch(QStringLiteral("x") + punctuation);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->value, punctuation);
}

TEST(RegexTest, MatchedStringsLeaveOutRangesBeyondTheText) {
    const QList<Regex::Match> matches = Regex("\\d+").allMatches(QStringLiteral("a12b345"));
    QList<Regex::CheckingResult> results;
    for (const Regex::Match &match : matches)
        results.append(match.checkingResult);
    EXPECT_EQ(kestrova::matchedStrings(results, QStringLiteral("a12b345")),
              (QStringList{QStringLiteral("12"), QStringLiteral("345")}));
    EXPECT_EQ(kestrova::matchedStrings(results, QStringLiteral("xyz")), QStringList{QStringLiteral("yz")});
    EXPECT_TRUE(kestrova::matchedStrings({Regex::CheckingResult()}, QStringLiteral("abc")).isEmpty());
}

TEST(RegexDeathTest, InvalidLiteralPatternStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(Regex("(unclosed"),
                 "RegexTest.cpp:[0-9]+: Fatal error: .*Invalid regular expression: U_REGEX_MISMATCHED_PAREN");
    EXPECT_DEATH(kestrova::replacingMatches(QStringLiteral("abc"), "[b", QString()),
                 "Invalid regular expression: U_REGEX_MISSING_CLOSE_BRACKET");
}

TEST(RegexTest, MalformedAndLargeTextNeverBreaksSearches) {
    const QString loneSurrogates = QStringLiteral("a") + QChar(0xD83D) + QStringLiteral("b") + QChar(0xDC4D) +
                                   QChar(0xDC4D) + QChar(0xD83D);
    const QList<Regex::Match> anyCharacter = Regex(".").allMatches(loneSurrogates);
    ASSERT_EQ(anyCharacter.size(), loneSurrogates.size());
    EXPECT_EQ(anyCharacter.at(1).value, QString(QChar(0xD83D)));
    EXPECT_EQ(kestrova::replacingMatches(loneSurrogates, "[\\x{D800}-\\x{DFFF}]", QStringLiteral("?")),
              QStringLiteral("a?b???"));
    EXPECT_EQ(kestrova::replacingFirstMatch(loneSurrogates, "b", QStringLiteral("$0$0")),
              QStringLiteral("a") + QChar(0xD83D) + QStringLiteral("bb") + QChar(0xDC4D) + QChar(0xDC4D) +
                  QChar(0xD83D));

    const QString combiningOnly = QString(40, QChar(0x0301));
    const std::optional<Regex::Match> leadingMark = Regex("\\x{301}").firstMatch(combiningOnly);
    ASSERT_TRUE(leadingMark);
    EXPECT_EQ(leadingMark->range, (Regex::Range{0, combiningOnly.size()}));

    const QString large = QString(1 << 20, QLatin1Char('a')) + QStringLiteral("b");
    const std::optional<Regex::Match> end = Regex("ab").firstMatch(large);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->range, (Regex::Range{large.size() - 2, large.size()}));
    EXPECT_EQ(kestrova::replacingMatches(large, "a", QStringLiteral("xy")).size(), 2 * large.size() - 1);
    EXPECT_EQ(kestrova::replacingFirstMatch(large, "b$", QString()).size(), large.size() - 1);
}

// Random text drawn from the units that tend to break UTF-16 handling: combining marks, joiners, regional
// indicators, emoji halves and lone surrogates, mixed with plain letters.
TEST(RegexTest, RandomTextKeepsMatchingAndReplacingConsistent) {
    const QList<char16_t> units{u'a',   u'b',   u'e',   u'x',   u' ',   u'.',   u'\n',
                                0x0301, 0x0308, 0x200D, 0xFE0F, 0xD83C, 0xDDEB, 0xDDF7,
                                0xD83D, 0xDC69, 0xDC4D, 0xDFFD, 0x00E9, 0x1100, 0x1161};
    const QList<Regex> patterns{Regex("."),        Regex("\\p{Mn}+"), Regex("e\\x{301}?"),
                                Regex("\\X"),      Regex("(a)|(b)"),  Regex("x*"),
                                Regex("[^a ]+"),   Regex("\\b"),      Regex("(?<pair>\\x{1F1EB}\\x{1F1F7})"),
                                Regex("\\x{DC4D}")};
    const QString templateUnits = QStringLiteral("$\\${}019");
    std::mt19937 random(20240501);
    std::uniform_int_distribution<int> lengthOf(0, 48);

    const auto randomText = [&](qsizetype templateUnitCount) {
        std::uniform_int_distribution<qsizetype> unitOf(0, units.size() - 1 + templateUnitCount);
        QString text;
        const int length = lengthOf(random);
        for (int index = 0; index < length; ++index) {
            const qsizetype unit = unitOf(random);
            text.append(unit < units.size() ? QChar(units.at(unit)) : templateUnits.at(unit - units.size()));
        }
        return text;
    };

    for (int round = 0; round < 400; ++round) {
        const QString text = randomText(0);
        const QString rawTemplate = randomText(templateUnits.size());
        QString quotedTemplate = rawTemplate;
        quotedTemplate.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('$'), QStringLiteral("\\$"));
        SCOPED_TRACE(round);

        for (const Regex &regex : patterns) {
            const QList<Regex::Match> matches = regex.allMatches(text);
            for (const Regex::Match &match : matches) {
                const Regex::Range exact = exactRange(match);
                ASSERT_LE(match.range.lowerBound, exact.lowerBound);
                ASSERT_GE(match.range.upperBound, exact.upperBound);
                ASSERT_LE(match.range.upperBound, text.size());
                ASSERT_EQ(match.value, text.sliced(match.range.lowerBound, match.range.length()));
                ASSERT_TRUE(isCharacterBoundary(text, match.range.lowerBound));
                ASSERT_TRUE(isCharacterBoundary(text, match.range.upperBound));
                for (const Regex::Match::Group &group : match.groups)
                    ASSERT_EQ(group.value, text.sliced(group.range.lowerBound, group.range.length()));
            }

            ASSERT_EQ(kestrova::replacingMatches(text, regex, QStringLiteral("$0")), text);
            const QString bracketed = kestrova::replacingMatches(text, regex, QStringLiteral("[$0]"));
            ASSERT_EQ(bracketed.count(QLatin1Char('[')), matches.size());
            ASSERT_EQ(QString(bracketed).remove(QLatin1Char('[')).remove(QLatin1Char(']')), text);

            const std::optional<Regex::Match> first = regex.firstMatch(text);
            ASSERT_EQ(first.has_value(), !matches.isEmpty());
            const QString firstBracketed = kestrova::replacingFirstMatch(text, regex, QStringLiteral("[$0]"));
            const QString rawReplaced = kestrova::replacingMatches(text, regex, rawTemplate);
            if (!first) {
                ASSERT_EQ(firstBracketed, text);
                ASSERT_EQ(rawReplaced, text);
                continue;
            }
            ASSERT_EQ(*first, matches.first());
            const Regex::Range exact = exactRange(*first);
            ASSERT_EQ(firstBracketed, text.first(exact.lowerBound) + QLatin1Char('[') +
                                          text.sliced(exact.lowerBound, exact.length()) + QLatin1Char(']') +
                                          text.sliced(exact.upperBound));
            ASSERT_EQ(kestrova::replacingFirstMatch(text, regex, quotedTemplate),
                      text.first(exact.lowerBound) + rawTemplate + text.sliced(exact.upperBound));
        }

        const std::optional<Regex> literal = Regex::fromPattern(Regex::escapingPattern(text));
        ASSERT_TRUE(literal);
        const std::optional<Regex::Match> itself = literal->firstMatch(text);
        ASSERT_TRUE(itself);
        ASSERT_EQ(exactRange(*itself), (Regex::Range{0, text.size()}));
    }
}

TEST(RegexTest, NamedGroupsAreLookedUpAndWidened) {
    const Regex regex("(?<name>[a-z]+)(?<accent>\\x{301})?=(?<empty>x?)");
    const auto match = regex.firstMatch(QStringLiteral("cafe\u0301=1"));
    ASSERT_TRUE(match);
    const auto name = match->group(QStringLiteral("name"));
    ASSERT_TRUE(name);
    // The group ends inside "e" + combining accent, so it widens over the whole character.
    EXPECT_EQ(name->value, QStringLiteral("cafe\u0301"));
    EXPECT_FALSE(match->group(QStringLiteral("empty"))) << "a group that matched no text gives nothing";
    EXPECT_FALSE(match->group(QStringLiteral("missing")));
}

#include "ui-kit/utilities/MenuText.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace kestrova;

namespace {

const QString kEllipsis = QStringLiteral("…");

QString middle40(const QString &name) {
    return truncated(kEntryTitleMaximumLength, TruncationPosition::middle, kEllipsis, name);
}

} // namespace

TEST(MenuTextTest, WordWrappedKeepsLinesWithinTheWidth) {
    const QString explanation = QStringLiteral(
        "The folder could not be read. It may have been moved, renamed or deleted, or you may need to grant "
        "access to it again from the menu of the folder item.");
    const QString wrapped = wordWrapped(kExplanationWrapWidth, explanation);
    const QStringList lines = wrapped.split(QLatin1Char('\n'));
    EXPECT_GT(lines.size(), 2);
    for (const QString &line : lines) {
        EXPECT_LE(characterCount(line), kExplanationWrapWidth) << line.toStdString();
        EXPECT_TRUE(line.endsWith(QLatin1Char(' '))) << line.toStdString();
    }
    QString rejoined = wrapped;
    rejoined.replace(QLatin1Char('\n'), QString());
    EXPECT_EQ(rejoined, explanation + QLatin1Char(' '));

    // A word longer than the width stands on its own line, written once, without an empty line first.
    const QString longWord(45, QLatin1Char('x'));
    EXPECT_EQ(wordWrapped(40, longWord + QStringLiteral(" end")), longWord + QStringLiteral(" \nend "));
    EXPECT_EQ(wordWrapped(40, QStringLiteral("a ") + longWord), QStringLiteral("a \n") + longWord + u' ');
    // Tabs separate words, line feeds stay inside them, repeated spaces give empty words.
    EXPECT_EQ(wordWrapped(50, QStringLiteral("a\tb\nc  d")), QStringLiteral("a b\nc  d "));
    EXPECT_EQ(wordWrapped(50, QString()), QString());
    // Emoji and combining marks count as one character each: ten of them fit in 11 columns.
    const QString family = QStringLiteral("👨‍👩‍👧");
    QStringList emojiWords;
    for (int index = 0; index < 10; ++index)
        emojiWords << family;
    EXPECT_FALSE(wordWrapped(20, emojiWords.join(u' ')).contains(u'\n'));
}

TEST(MenuTextTest, TruncatedCutsWholeCharacters) {
    // 41 characters: 20, the ellipsis and 19; 40 stay as they are.
    const QString name41 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmno");
    ASSERT_EQ(name41.size(), 41);
    EXPECT_EQ(middle40(name41), QStringLiteral("ABCDEFGHIJKLMNOPQRST…WXYZabcdefghijklmno"));
    EXPECT_EQ(characterCount(middle40(name41)), 40);
    EXPECT_EQ(middle40(name41.left(40)), name41.left(40));

    // Emoji outside the basic plane, joined families, flags and letters with combining marks are kept
    // whole on both sides of the cut.
    const QString family = QStringLiteral("👨‍👩‍👧");
    const QString flag = QStringLiteral("🇩🇪");
    const QString accented = QStringLiteral("e\u0301\u0323");
    QString hard;
    for (int index = 0; index < 15; ++index)
        hard += family + flag + accented;
    ASSERT_EQ(characterCount(hard), 45);
    const QString cut = middle40(hard);
    EXPECT_EQ(characterCount(cut), 40);
    EXPECT_TRUE(cut.startsWith(family + flag + accented));
    const QString expectedEnd = accented + family + flag + accented;
    EXPECT_TRUE(cut.endsWith(expectedEnd));
    EXPECT_TRUE(cut.contains(kEllipsis));
    // No half of a surrogate pair is left behind.
    EXPECT_EQ(QString::fromUtf8(cut.toUtf8()), cut);

    // Right-to-left text is cut by logical order and stays valid text.
    const QString hebrew = QStringLiteral("שלום עולם זה שם קובץ ארוך מאוד שצריך לקצר אותו");
    const QString hebrewCut = truncated(20, TruncationPosition::middle, kEllipsis, hebrew);
    EXPECT_EQ(characterCount(hebrewCut), 20);
    EXPECT_TRUE(hebrewCut.startsWith(hebrew.left(10)));
    EXPECT_TRUE(hebrewCut.endsWith(hebrew.right(9)));

    // Head and tail.
    EXPECT_EQ(truncated(8, TruncationPosition::head, kEllipsis, QStringLiteral("  abcdefghij")),
              kEllipsis + QStringLiteral("defghij"));
    // A kept punctuation mark at the cut goes; a comma before the dropped space stays.
    EXPECT_EQ(truncated(7, TruncationPosition::tail, kEllipsis, QStringLiteral("Hello, world!")),
              QStringLiteral("Hello") + kEllipsis);
    EXPECT_EQ(truncated(8, TruncationPosition::tail, kEllipsis, QStringLiteral("Hello, world!")),
              QStringLiteral("Hello,") + kEllipsis);
    EXPECT_EQ(truncated(8, TruncationPosition::tail, kEllipsis, QStringLiteral("abcdefghijk")),
              QStringLiteral("abcdefg") + kEllipsis);
    // Only leading whitespace made it long: the last characters.
    EXPECT_EQ(truncated(5, TruncationPosition::middle, kEllipsis, QStringLiteral("   abcd")),
              QStringLiteral(" abcd"));
    // Degenerate limits.
    EXPECT_EQ(truncated(0, TruncationPosition::middle, kEllipsis, QStringLiteral("abc")), QString());
    EXPECT_EQ(truncated(2, TruncationPosition::middle, QStringLiteral("..."), QStringLiteral("abcdef")),
              QStringLiteral(".."));
}

TEST(MenuTextTest, CamelCaseAndTitleCase) {
    EXPECT_EQ(splittingCamelCase(QStringLiteral("dateModified")), QStringLiteral("date Modified"));
    EXPECT_EQ(splittingCamelCase(QStringLiteral("ShowInFinder")), QStringLiteral("Show In Finder"));
    EXPECT_EQ(titleCased(QStringLiteral("date of birth")), QStringLiteral("Date of Birth"));
    EXPECT_EQ(titleCased(QStringLiteral("the end")), QStringLiteral("The End"));
    EXPECT_EQ(titleCased(splittingCamelCase(QStringLiteral("dateAdded"))), QStringLiteral("Date Added"));
    // Later capitals inside a word are lowered; minor words are matched exactly.
    EXPECT_EQ(titleCased(QStringLiteral("iPhone And ipad")), QStringLiteral("Iphone And Ipad"));
    EXPECT_EQ(titleCased(QStringLiteral("élan  vital")), QStringLiteral("Élan Vital"));
    EXPECT_EQ(capitalizedFirstCharacter(QStringLiteral("éclair au chocolat")),
              QStringLiteral("Éclair au chocolat"));
    EXPECT_EQ(capitalizedFirstCharacter(QString()), QString());

    EXPECT_EQ(menuItemPadding(), QMargins(14, 4, 14, 4));
    EXPECT_EQ(menuItemPadding(Edge::top), QMargins(0, 4, 0, 0));
}

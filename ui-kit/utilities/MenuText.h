#pragma once

#include <QFlags>
#include <QMargins>
#include <QString>

namespace kestrova {

// Long explanations in menus are wrapped at 50 columns, error descriptions at 40.
inline constexpr int kExplanationWrapWidth = 50;
inline constexpr int kErrorWrapWidth = 40;
// Entry names are shortened in the middle to 40 characters with "…".
inline constexpr int kEntryTitleMaximumLength = 40;

// Breaks the text into lines of at most `width` characters where it can: words (separated by spaces and
// tabs; line feeds stay inside words) are each followed by one space, and a word that would pass the width
// starts a new line, unless the line is still empty (a word longer than the width stands on a line of its
// own). Characters are counted as the user sees them, so an emoji or an accented letter is one.
QString wordWrapped(int width, const QString &text);

enum class TruncationPosition { head, middle, tail };

// At most `maximumLength` characters of `text`, the cut marked with `truncationText`. Characters are
// grapheme clusters: an emoji, a flag or a letter with combining marks is never split, so the result is
// always valid text.
QString truncated(int maximumLength, TruncationPosition position, const QString &truncationText,
                  const QString &text);

// "dateModified" becomes "date Modified": a space before every capital A to Z, then trimmed.
QString splittingCamelCase(const QString &text);

// "date of birth" becomes "Date of Birth": every word capitalised (first letter up, the rest down) except
// the minor words "a", "an", "and", "at", "but", "by", "for", "in", "nor", "of", "on", "or", "so", "the",
// "to", "up" and "yet", which stay as written unless they come first.
QString titleCased(const QString &text);

// The first character capitalised, the rest unchanged.
QString capitalizedFirstCharacter(const QString &text);

// The number of characters as the user sees them (grapheme clusters).
qsizetype characterCount(const QString &text);

enum class Edge { top = 1, leading = 2, bottom = 4, trailing = 8 };
Q_DECLARE_FLAGS(Edges, Edge)
Q_DECLARE_OPERATORS_FOR_FLAGS(Edges)

// The padding of content hosted in a menu row: 4 points above and below, 14 at the sides, on the given
// edges (left is leading: menus are laid out left to right).
QMargins menuItemPadding(Edges edges = Edges(Edge::top) | Edge::leading | Edge::bottom | Edge::trailing);

} // namespace kestrova

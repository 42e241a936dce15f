#pragma once

#include <QString>

namespace kestrova {

// The last `count` characters of `text`, counted as user-perceived characters (a letter with its accents,
// an emoji sequence), never splitting one. A count beyond the length gives the whole text; a negative count
// is a caller's mistake, reported, and gives an empty text.
QString stringTail(const QString &text, qsizetype count);

} // namespace kestrova

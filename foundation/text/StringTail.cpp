#include "StringTail.h"

#include "foundation/errors/ValueReports_p.h"

#include <QTextBoundaryFinder>

namespace kestrova {

QString stringTail(const QString &text, qsizetype count) {
    if (count < 0) {
        detail::reportUnexpectedValue(
            QStringLiteral("Asked for the last %1 characters of a text").arg(count));
        return {};
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    qsizetype start = text.size();
    for (qsizetype taken = 0; taken < count; ++taken) {
        const qsizetype previous = finder.toPreviousBoundary();
        if (previous < 0)
            break;
        start = previous;
    }
    return text.mid(start);
}

} // namespace kestrova

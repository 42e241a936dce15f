#include "UniqueFileUrl.h"

#include "FileUrl.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

namespace kestrova {

namespace {

struct NumberedName {
    QString stem;
    QString suffix; // "" or "." + extension
    qint64 number = 0;
};

NumberedName splitName(const QUrl &url) {
    const QString name = url.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A leading dot starts a hidden name, not an extension.
    NumberedName split{dot > 0 ? name.left(dot) : name, dot > 0 ? name.mid(dot) : QString(), 0};
    static const QRegularExpression numbered(QStringLiteral(" \\(([0-9]+)\\)$"));
    const QRegularExpressionMatch match = numbered.match(split.stem);
    bool fits = false;
    const qint64 number = match.hasMatch() ? match.captured(1).toLongLong(&fits) : 0;
    if (fits) {
        split.number = number;
        split.stem.chop(match.capturedLength());
    }
    return split;
}

QUrl candidate(const QUrl &url, const NumberedName &split, qint64 number) {
    const QString name = number == 0
                             ? split.stem + split.suffix
                             : QStringLiteral("%1 (%2)%3").arg(split.stem).arg(number).arg(split.suffix);
    return url::appendingPathComponent(url.adjusted(QUrl::RemoveFilename), name);
}

bool exists(const QUrl &url) {
    struct stat status;
    return ::lstat(url::localPath(url).constData(), &status) == 0;
}

} // namespace

QUrl uniqueFileURL(const QUrl &url) {
    const NumberedName split = splitName(url);
    qint64 number = split.number;
    QUrl next = split.number == 0 ? url : candidate(url, split, 0);
    while (exists(next))
        next = candidate(url, split, ++number);
    return next;
}

} // namespace kestrova

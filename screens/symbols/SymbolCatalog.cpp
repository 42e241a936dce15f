#include "SymbolCatalog.h"

#include <QFile>

#include <algorithm>

namespace kestrova {
namespace {

// The data file's lines without its comment header. The files are compiled in: one that cannot be read is a
// broken build, which no run can repair.
QList<QByteArray> dataLines(const QString &resourcePath) {
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("The symbol catalogue %s is not in the program", qPrintable(resourcePath));
    }
    QList<QByteArray> lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty() && !line.startsWith('#'))
            lines.append(line);
    }
    return lines;
}

} // namespace

const QStringList &allSymbolNames() {
    static const QStringList names = [] {
        QStringList result;
        for (const QByteArray &line : dataLines(QStringLiteral(":/kestrova/screens/symbol-names.txt")))
            result.append(QString::fromUtf8(line));
        return result;
    }();
    return names;
}

const std::vector<SymbolCatalogRow> &symbolCatalog() {
    static const std::vector<SymbolCatalogRow> rows = [] {
        std::vector<SymbolCatalogRow> result;
        for (const QByteArray &line : dataLines(QStringLiteral(":/kestrova/screens/symbol-keywords.txt"))) {
            QList<QByteArray> fields = line.split('\t');
            SymbolCatalogRow row{QString::fromUtf8(fields.takeFirst()), {}};
            for (const QByteArray &keyword : fields)
                row.keywords.append(QString::fromUtf8(keyword));
            result.push_back(std::move(row));
        }
        return result;
    }();
    return rows;
}

const QHash<QString, QStringList> &symbolNamesByKeyword() {
    static const QHash<QString, QStringList> index = [] {
        QHash<QString, qsizetype> positions;
        const QStringList &names = allSymbolNames();
        for (qsizetype position = 0; position < names.size(); ++position)
            positions.insert(names[position], position);

        QHash<QString, QStringList> result;
        for (const SymbolCatalogRow &row : symbolCatalog()) {
            for (const QString &keyword : row.keywords) {
                QStringList &keywordNames = result[keyword];
                if (!keywordNames.contains(row.name))
                    keywordNames.append(row.name);
            }
        }
        // Each keyword's names in catalogue order, so that a search lists related symbols together and
        // answers the same way in every run.
        for (QStringList &keywordNames : result) {
            std::sort(keywordNames.begin(), keywordNames.end(), [&](const QString &left, const QString &right) {
                return positions.value(left) < positions.value(right);
            });
        }
        return result;
    }();
    return index;
}

} // namespace kestrova

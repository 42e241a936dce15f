#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace kestrova {

// One row of the keyword table: a symbol name and the words a user may search it by, sorted.
struct SymbolCatalogRow {
    QString name;
    QStringList keywords;
};

// The symbols the picker offers and the words they are found by, built into the program from
// screens/symbols/data (written by tools/generate-symbol-catalog: every glyph of the icon set under the dotted
// name that draws it). Each table is built on first use, once, from any thread, and never changes afterwards.

// Every symbol name, unique, in catalogue order: related symbols stand together.
const QStringList &allSymbolNames();

// The keyword rows in ascending order of name; every name is in allSymbolNames. Only the index below and
// the tests read it.
const std::vector<SymbolCatalogRow> &symbolCatalog();

// Keyword to the names whose rows list it, each name once, in catalogue order. A keyword no row lists has
// no entry; lookups are exact (no case folding or trimming).
const QHash<QString, QStringList> &symbolNamesByKeyword();

} // namespace kestrova

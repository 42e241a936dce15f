#pragma once

#include <QHash>
#include <QString>

#include <functional>

namespace kestrova::platform::symbols {

// Where the drawing of one symbol name comes from: a file of the icon set, possibly drawn inside a circle or
// a rounded square that the set itself lacks, or a number drawn as text inside such an enclosure.
struct SymbolSource {
    enum class Enclosure { none, circle, square };

    QString iconName; // the icon set's file name without ".svg"
    QString text;     // a number, for the numbered symbols the set has no file for
    Enclosure enclosure = Enclosure::none;
    bool filledEnclosure = false; // the glyph is cut out of a filled enclosure
    bool mirrored = false;        // a right-to-left variant

    bool isKnown() const { return !iconName.isEmpty() || !text.isEmpty(); }
    bool operator==(const SymbolSource &) const = default;
};

// Dotted name prefixes that the icon set spells differently, mapped to the set's file name stem. The longest
// prefix of a name that is in the table replaces those words; the rest of the name follows with dashes.
const QHash<QString, QString> &symbolNameTable();

// Maps a symbol name to its source by the rule (dots to dashes, the table's prefixes, ".fill", ".circle" and
// ".square" variants, script and right-to-left suffixes). `iconExists` answers whether the set has a file
// stem. An unknown name gives a source that is not known.
SymbolSource resolveSymbolName(const QString &name, const std::function<bool(const QString &)> &iconExists);

} // namespace kestrova::platform::symbols

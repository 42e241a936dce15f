#pragma once

#include "PropertyListValue.h"

#include <QByteArray>
#include <QStringList>

#include <optional>

namespace kestrova::platform {

// Reading and writing XML property lists, independent of the process's locale (a comma-decimal locale must
// not change what a real number reads as).
namespace PropertyListSerialization {

// Nesting deeper than this, or a document larger than this, is refused on writing: settings never need it,
// and a hostile file must not cost unbounded time, memory or stack. On reading, a value nested deeper or
// larger is left out alone (see ReadResult::changes), and only a document beyond kMaximumReadSize is
// refused whole.
inline constexpr int kMaximumDepth = 100;
inline constexpr qsizetype kMaximumSize = 16 * 1024 * 1024;
inline constexpr qsizetype kMaximumReadSize = 4 * kMaximumSize;

struct ReadResult {
    // Nothing when the text is not a readable property list; then `problem` says why.
    std::optional<PropertyListValue> root;
    QString problem;
    // What the text held that `root` does not hold as it was (a key given twice, a number kept as text, a
    // value that could not be read and was left out).
    QStringList changes;
};

// Reads a property list in UTF-8 or UTF-16, with or without a byte-order mark.
ReadResult read(const QByteArray &xml);
// The root value of an XML property list; nothing when the text is not a readable property list.
std::optional<PropertyListValue> fromXml(const QByteArray &xml);

// Why `value` cannot be written (too deep, a date outside the years 1 to 9999 or not a number); empty when
// it can.
QString unwritableReason(const PropertyListValue &value);

// Compact UTF-8 text; an unwritable value gives empty text. Dates keep whole seconds.
QByteArray toXml(const PropertyListValue &root);

} // namespace PropertyListSerialization

} // namespace kestrova::platform

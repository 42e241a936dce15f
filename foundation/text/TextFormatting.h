#pragma once

#include "foundation/collections/KeyValueSequence.h"

#include "platform/values/Date.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <concepts>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace kestrova {

// The printed form of a real: the shortest text that reads back as the same number, with ".0" on whole
// numbers ("1.0", "12.5"), and exponent form below 1e-4 or above 2^54 ("1e-05", "1.5e+20"); "nan", "inf",
// "-inf" for the special values.
std::string doubleDescription(double value);

// "2001-01-01 00:00:00 +0000": a date printed in UTC.
QString dateDescription(platform::Date date);

template <typename T>
concept TextLike = std::same_as<std::remove_cvref_t<T>, QString> ||
    std::same_as<std::remove_cvref_t<T>, std::string> ||
    std::same_as<std::remove_cvref_t<T>, std::string_view> ||
    (std::convertible_to<T, const char *> && !std::same_as<std::remove_cvref_t<T>, QByteArray>);

template <typename T>
concept HasDescription = requires(const T &value) {
    { value.description() } -> std::convertible_to<QString>;
};

// The ordinary printed form of a value: text as it is, Booleans as true / false, numbers plain, reals as
// doubleDescription gives them, data as its byte count, dates in UTC, and any type with `description()`
// through that.
template <typename T> QString describe(const T &value) {
    using Plain = std::remove_cvref_t<T>;
    if constexpr (std::same_as<Plain, QString>)
        return value;
    else if constexpr (std::same_as<Plain, std::string> || std::same_as<Plain, std::string_view>)
        return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    else if constexpr (std::same_as<Plain, QByteArray>)
        return QString::number(value.size()) + QStringLiteral(" bytes");
    else if constexpr (std::convertible_to<const T &, const char *>)
        return QString::fromUtf8(static_cast<const char *>(value));
    else if constexpr (std::same_as<Plain, bool>)
        return value ? QStringLiteral("true") : QStringLiteral("false");
    else if constexpr (std::floating_point<Plain>)
        return QString::fromStdString(doubleDescription(static_cast<double>(value)));
    else if constexpr (std::integral<Plain>)
        return QString::number(value);
    else if constexpr (std::same_as<Plain, platform::Date>)
        return dateDescription(value);
    else if constexpr (HasDescription<Plain>)
        return value.description();
    else
        static_assert(HasDescription<Plain>, "describe: this type has no printed form");
}

// The printed form in collection texts: text between double quotes (not escaped), anything else as
// describe().
template <typename T> QString describeQuotingText(const T &value) {
    if constexpr (TextLike<T>)
        return QLatin1Char('"') + describe(value) + QLatin1Char('"');
    else
        return describe(value);
}

// An optional in a text: the value's printed form when present (no wrapper around it), else `defaultText`.
template <typename T>
QString describeOptional(const std::optional<T> &value, const QString &defaultText = QStringLiteral("nil")) {
    return value ? describe(*value) : defaultText;
}

// One line per pair, "key: value", joined with line feeds and no line feed at the end; empty for no pairs.
template <KeyValueSequence Sequence> QString formattedKeyValueLines(const Sequence &pairs) {
    QStringList lines;
    for (const auto &pair : pairs)
        lines.append(describe(keyOf(pair)) + QStringLiteral(": ") + describe(valueOf(pair)));
    return lines.join(QLatin1Char('\n'));
}

template <KeyValueSnapshotSource Container> QString formattedKeyValueLines(const Container &container) {
    const auto pairs = container.snapshot();
    return formattedKeyValueLines(pairs);
}

// "1920×1080": whole sides without a fraction, other sides in their printed form, no spaces.
QString formattedDimensions(const QSizeF &size);

} // namespace kestrova

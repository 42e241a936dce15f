#pragma once

#include "DefaultsSerializable.h"

#include "foundation/json/DecodingError.h"
#include "foundation/json/JsonCoding.h"

#include <QString>

#include <array>
#include <optional>
#include <utility>

namespace kestrova {

// An enumeration stored by the raw text of its case. Specialise beside the enumeration, cases in declaration
// order:
//     template <> struct RawTextCases<Fruit> {
//         static constexpr std::array cases{std::pair{Fruit::apple, "apple"}, std::pair{Fruit::pear,
//         "pear"}};
//     };
// Texts match exactly (case-sensitively); such enumerations are then JSON-coded and stored by that text.
template <typename Enum> struct RawTextCases;

template <typename Enum>
concept RawTextEnum = requires {
    RawTextCases<Enum>::cases.size();
};

template <RawTextEnum Enum> QString rawText(Enum value) {
    for (const auto &[element, text] : RawTextCases<Enum>::cases)
        if (element == value)
            return QString::fromLatin1(text);
    return {};
}

template <RawTextEnum Enum> std::optional<Enum> fromRawText(const QString &text) {
    for (const auto &[element, caseText] : RawTextCases<Enum>::cases)
        if (text == QLatin1String(caseText))
            return element;
    return std::nullopt;
}

// A text that names no case fails the read.
template <RawTextEnum Enum> struct JsonCoding<Enum> {
    static Json encode(Enum value) { return rawText(value).toStdString(); }
    static Enum decode(const Json &json) {
        const QString text = JsonCoding<QString>::decode(json);
        if (auto value = fromRawText<Enum>(text))
            return *value;
        throw DecodingError::dataCorrupted(
            {}, QStringLiteral("Cannot initialize from invalid raw value %1").arg(text));
    }
};

namespace Defaults {
template <RawTextEnum Enum> struct RawValueTraits<Enum> {
    using RawValue = QString;
    static RawValue rawValue(Enum value) { return rawText(value); }
    static std::optional<Enum> fromRawValue(const RawValue &raw) { return fromRawText<Enum>(raw); }
};
template <RawTextEnum Enum> struct Serializable<Enum> : RawRepresentableSerializable<Enum> {};
} // namespace Defaults

} // namespace kestrova

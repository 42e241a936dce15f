#pragma once

#include "foundation/values/RawRepresentable.h"

#include <QString>

#include <cstddef>
#include <optional>

namespace kestrova {

// An e-mail address that was checked when it was made: the whole text is one address, with nothing before
// or after it. Made from run-time text, an invalid address is simply absent; made from text written in the
// program, it stops the process, since the program itself is wrong. A stored address is read back as it
// was stored, without a check.
class EmailAddress {
public:
    using RawValue = QString;

    // The text without surrounding white space and line breaks, when that is a valid address.
    static std::optional<EmailAddress> fromRawValue(const QString &text);
    // An address written in the program; an invalid one stops the process with "Invalid email address: ".
    template <std::size_t Length> static EmailAddress fromStringLiteral(const char (&literal)[Length]) {
        return fromProgramText(literal);
    }

    // Whether the whole text is a single address: a local part of dot-separated atoms, "@", and a domain
    // of dot-separated labels ending in an alphabetic top-level label. Stricter than mail servers, which
    // accept quoted and bracketed forms that people do not type.
    static bool isValid(const QString &text);

    // The address that users write to for support.
    static const EmailAddress &support();

    const QString &rawValue() const { return m_rawValue; }
    const QString &id() const { return m_rawValue; }

private:
    friend struct nlohmann::adl_serializer<EmailAddress>;

    explicit EmailAddress(QString rawValue)
        : m_rawValue(std::move(rawValue)) {}
    static EmailAddress fromProgramText(const char *text);

    QString m_rawValue;
};

} // namespace kestrova

template <> struct nlohmann::adl_serializer<kestrova::EmailAddress> {
    // Kept exactly as stored, even when it would not pass the check now.
    static kestrova::EmailAddress from_json(const json &stored) {
        return kestrova::EmailAddress(QString::fromStdString(stored.get<std::string>()));
    }
    static void to_json(json &stored, const kestrova::EmailAddress &address) {
        kestrova::rawValueToJson(stored, address);
    }
};

template <> struct std::hash<kestrova::EmailAddress> : kestrova::RawValueHash<kestrova::EmailAddress> {};

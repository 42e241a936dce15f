#pragma once

#include <QString>
#include <QUrl>

#include <map>
#include <optional>

// Web-form query strings. A name or value keeps the URL-unreserved characters (letters of every script in
// the lower-, upper- and title-case categories, the digits "0" to "9" and "-._~") and percent-encodes every
// other character as UTF-8 bytes.
namespace kestrova::url {

bool isLetter(char32_t character);
bool isDigit(char32_t character);
bool isAlphanumeric(char32_t character);
bool isUnreserved(char32_t character);

// Nothing when the text cannot be encoded (a lone surrogate).
std::optional<QString> percentEncodedQueryText(const QString &text);

// The URL parsed from `string` with its query replaced by the encoded "name=value" pairs, joined by "&" in
// name order; a pair that cannot be encoded is left out. Nothing when `string` is not a valid URL.
std::optional<QUrl> withQueryParameters(const QString &string,
                                        const std::map<QString, QString> &queryParameters);

} // namespace kestrova::url

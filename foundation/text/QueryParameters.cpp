#include "QueryParameters.h"

#include <QStringList>

#include <unicode/uchar.h>

namespace kestrova::url {

bool isLetter(char32_t character) {
    switch (u_charType(static_cast<UChar32>(character))) {
    case U_LOWERCASE_LETTER:
    case U_UPPERCASE_LETTER:
    case U_TITLECASE_LETTER:
        return true;
    default:
        return false;
    }
}

bool isDigit(char32_t character) {
    return character >= U'0' && character <= U'9';
}

bool isAlphanumeric(char32_t character) {
    return isLetter(character) || isDigit(character);
}

bool isUnreserved(char32_t character) {
    return character == U'-' || character == U'.' || character == U'_' || character == U'~' ||
           isAlphanumeric(character);
}

std::optional<QString> percentEncodedQueryText(const QString &text) {
    QString encoded;
    encoded.reserve(text.size());
    for (qsizetype index = 0; index < text.size(); ++index) {
        const QChar unit = text.at(index);
        char32_t character = unit.unicode();
        qsizetype length = 1;
        if (unit.isHighSurrogate() && index + 1 < text.size() && text.at(index + 1).isLowSurrogate()) {
            character = QChar::surrogateToUcs4(unit, text.at(index + 1));
            length = 2;
        } else if (unit.isSurrogate()) {
            return std::nullopt;
        }
        const QString piece = text.mid(index, length);
        index += length - 1;
        if (isUnreserved(character)) {
            encoded += piece;
            continue;
        }
        for (const char byte : piece.toUtf8())
            encoded += QStringLiteral("%%1").arg(uchar(byte), 2, 16, QLatin1Char('0')).toUpper();
    }
    return encoded;
}

std::optional<QUrl> withQueryParameters(const QString &string,
                                        const std::map<QString, QString> &queryParameters) {
    QUrl url(string, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    QStringList items;
    for (const auto &[name, value] : queryParameters) {
        const auto encodedName = percentEncodedQueryText(name);
        const auto encodedValue = percentEncodedQueryText(value);
        if (encodedName && encodedValue)
            items << *encodedName + QLatin1Char('=') + *encodedValue;
    }
    url.setQuery(items.join(QLatin1Char('&')), QUrl::TolerantMode);
    return url;
}

} // namespace kestrova::url

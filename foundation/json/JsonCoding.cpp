#include "JsonCoding.h"

namespace kestrova {

QString jsonKindDescription(const Json &json) {
    switch (json.type()) {
    case Json::value_t::null:
        return QStringLiteral("null");
    case Json::value_t::boolean:
        return QStringLiteral("a Boolean");
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
        return QStringLiteral("a number");
    case Json::value_t::string:
        return QStringLiteral("a string");
    case Json::value_t::array:
        return QStringLiteral("an array");
    case Json::value_t::object:
        return QStringLiteral("an object");
    case Json::value_t::binary:
    case Json::value_t::discarded:
        break;
    }
    return QStringLiteral("an unreadable value");
}

void throwJsonTypeMismatch(const char *expectedType, const Json &found) {
    throw DecodingError::typeMismatch(
        {}, QStringLiteral("Expected to decode %1 but found %2 instead.")
                .arg(QString::fromLatin1(expectedType), jsonKindDescription(found)));
}

QString JsonCoding<QString>::decode(const Json &json) {
    if (!json.is_string())
        throwJsonTypeMismatch("String", json);
    return QString::fromStdString(json.get_ref<const Json::string_t &>());
}

QByteArray JsonCoding<QByteArray>::decode(const Json &json) {
    if (!json.is_string())
        throwJsonTypeMismatch("Base64 text", json);
    const auto &text = json.get_ref<const Json::string_t &>();
    // Unpadded text and line breaks are refused, so that damaged text fails instead of reading as other
    // bytes.
    if (text.size() % 4 == 0) {
        auto result = QByteArray::fromBase64Encoding(QByteArray::fromStdString(text),
                                                     QByteArray::Base64Encoding |
                                                         QByteArray::AbortOnBase64DecodingErrors);
        if (result)
            return std::move(result.decoded);
    }
    throw DecodingError::dataCorrupted({}, QStringLiteral("Encountered Data is not valid Base64."));
}

const Json &requireJsonObject(const Json &json, const QStringList &codingPath) {
    if (!json.is_object())
        throw DecodingError::typeMismatch(codingPath,
                                          QStringLiteral("Expected to decode an object but found %1 instead.")
                                              .arg(jsonKindDescription(json)));
    return json;
}

const Json &requiredMember(const Json &object, const char *key, const QStringList &codingPath) {
    const Json &container = requireJsonObject(object, codingPath);
    const auto member = container.find(key);
    if (member == container.end())
        throw DecodingError::keyNotFound(QString::fromUtf8(key), codingPath);
    return *member;
}

} // namespace kestrova

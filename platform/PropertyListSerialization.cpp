#include "PropertyListSerialization.h"

#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

namespace kestrova::platform {
namespace {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct MallocDeleter {
    void operator()(char *text) const { std::free(text); }
};
using MallocText = std::unique_ptr<char, MallocDeleter>;

// XML 1.0 cannot carry most control characters, not even escaped, so a value holding one would write a
// file that no reader accepts. Such characters are replaced, which keeps the file readable.
QString xmlSafe(const QString &text) {
    QString result = text;
    for (QChar &character : result) {
        const char16_t code = character.unicode();
        if (code < 0x20 && code != u'\t' && code != u'\n' && code != u'\r')
            character = QChar(0xFFFD);
        else if (code == 0xFFFE || code == 0xFFFF)
            character = QChar(0xFFFD);
    }
    return result;
}

plist_t toNode(const PropertyListValue &value) {
    switch (value.kind()) {
    case PropertyListValue::Kind::boolean:
        return plist_new_bool(*value.getIf<bool>() ? 1 : 0);
    case PropertyListValue::Kind::integer:
        // This library version has only an unsigned integer node; the bits round-trip as signed.
        return plist_new_uint(static_cast<uint64_t>(*value.getIf<std::int64_t>()));
    case PropertyListValue::Kind::real:
        return plist_new_real(*value.getIf<double>());
    case PropertyListValue::Kind::text:
        return plist_new_string(xmlSafe(*value.getIf<QString>()).toUtf8().constData());
    case PropertyListValue::Kind::data: {
        const QByteArray &data = *value.getIf<QByteArray>();
        return plist_new_data(data.constData(), static_cast<uint64_t>(data.size()));
    }
    case PropertyListValue::Kind::date: {
        const double seconds = value.getIf<Date>()->timeIntervalSinceReferenceDate();
        double whole = std::floor(seconds);
        whole = std::clamp(whole, double(std::numeric_limits<int32_t>::min()),
                           double(std::numeric_limits<int32_t>::max()));
        const auto micro =
            static_cast<int32_t>(std::llround((seconds - std::floor(seconds)) * 1e6) % 1000000);
        return plist_new_date(static_cast<int32_t>(whole), micro);
    }
    case PropertyListValue::Kind::array: {
        plist_t array = plist_new_array();
        for (const auto &element : *value.getIf<PropertyListValue::Array>())
            plist_array_append_item(array, toNode(element));
        return array;
    }
    case PropertyListValue::Kind::dictionary: {
        plist_t dictionary = plist_new_dict();
        for (const auto &[key, element] : *value.getIf<PropertyListValue::Dictionary>())
            plist_dict_set_item(dictionary, xmlSafe(key).toUtf8().constData(), toNode(element));
        return dictionary;
    }
    }
    return plist_new_bool(0);
}

std::optional<PropertyListValue> fromNode(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        return PropertyListValue(flag != 0);
    }
    case PLIST_UINT: {
        uint64_t number = 0;
        plist_get_uint_val(node, &number);
        return PropertyListValue(static_cast<std::int64_t>(number));
    }
    case PLIST_REAL: {
        double number = 0;
        plist_get_real_val(node, &number);
        return PropertyListValue(number);
    }
    case PLIST_STRING: {
        // The library's copying getter stops the process on a zero byte inside the text, which a damaged
        // file can hold; the library keeps the text only up to that byte, whatever length it records.
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        if (!text)
            return PropertyListValue(QString());
        const auto size = static_cast<qsizetype>(qstrnlen(text, static_cast<size_t>(length)));
        return PropertyListValue(QString::fromUtf8(text, size));
    }
    case PLIST_KEY: {
        char *raw = nullptr;
        plist_get_key_val(node, &raw);
        MallocText text(raw);
        return PropertyListValue(QString::fromUtf8(text ? text.get() : ""));
    }
    case PLIST_DATA: {
        char *raw = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &raw, &length);
        MallocText data(raw);
        return PropertyListValue(QByteArray(data ? data.get() : "", static_cast<qsizetype>(length)));
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t micro = 0;
        plist_get_date_val(node, &seconds, &micro);
        return PropertyListValue(Date(double(seconds) + double(micro) / 1e6));
    }
    case PLIST_ARRAY: {
        PropertyListValue::Array array;
        const uint32_t count = plist_array_get_size(node);
        array.reserve(count);
        for (uint32_t index = 0; index < count; ++index) {
            auto element = fromNode(plist_array_get_item(node, index));
            if (!element)
                return std::nullopt;
            array.push_back(std::move(*element));
        }
        return PropertyListValue(std::move(array));
    }
    case PLIST_DICT: {
        PropertyListValue::Dictionary dictionary;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        if (!iterator)
            return PropertyListValue(std::move(dictionary));
        for (;;) {
            char *rawKey = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &rawKey, &item);
            MallocText key(rawKey);
            if (!item)
                break;
            auto element = fromNode(item);
            if (!element) {
                std::free(iterator);
                return std::nullopt;
            }
            dictionary.insert_or_assign(QString::fromUtf8(key ? key.get() : ""), std::move(*element));
        }
        std::free(iterator);
        return PropertyListValue(std::move(dictionary));
    }
    default:
        // UIDs and unknown nodes have no counterpart among stored values.
        return std::nullopt;
    }
}

} // namespace

std::optional<PropertyListValue> PropertyListSerialization::fromXml(const QByteArray &xml) {
    if (xml.isEmpty() || xml.size() > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), static_cast<uint32_t>(xml.size()), &root);
    if (!root)
        return std::nullopt;
    PlistPtr owner(root);
    return fromNode(root);
}

QByteArray PropertyListSerialization::toXml(const PropertyListValue &root) {
    PlistPtr node(toNode(root));
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node.get(), &xml, &length);
    if (!xml)
        return {};
    QByteArray result(xml, static_cast<qsizetype>(length));
    plist_to_xml_free(xml);
    return result;
}

} // namespace kestrova::platform

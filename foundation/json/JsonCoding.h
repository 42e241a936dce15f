#pragma once

#include "DecodingError.h"
#include "JsonText.h"

#include "platform/values/Date.h"

#include <QByteArray>
#include <QString>

#include <cmath>
#include <concepts>
#include <limits>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace kestrova {

// How a value of type T is written to and read from its JSON form. Reading is strict: a JSON value of another
// kind throws (Booleans are never numbers, integers must fit their type exactly, text is never a number), so
// that a record with a wrong member fails as a whole. The kinds of the stored records are built in: text,
// Booleans, integers, reals, binary data (standard Base64 text, padding required), dates (seconds since
// 2001-01-01 UTC), lists and optionals (null when absent). A class takes part with a member `Json toJson()
// const` and a static `T fromJson(const Json &)`, or through nlohmann's own `to_json` / `from_json`.
template <typename T> struct JsonCoding {
    static Json encode(const T &value) {
        if constexpr (requires {
                          { value.toJson() } -> std::convertible_to<Json>;
                      })
            return value.toJson();
        else
            return Json(value);
    }
    static T decode(const Json &json) {
        if constexpr (requires {
                          { T::fromJson(json) } -> std::convertible_to<T>;
                      })
            return T::fromJson(json);
        else
            return json.template get<T>();
    }
};

// "a string", "a number", …: the kind of a JSON value, for error texts.
QString jsonKindDescription(const Json &json);
[[noreturn]] void throwJsonTypeMismatch(const char *expectedType, const Json &found);

template <> struct JsonCoding<bool> {
    static Json encode(bool value) { return value; }
    static bool decode(const Json &json) {
        if (!json.is_boolean())
            throwJsonTypeMismatch("Bool", json);
        return json.get<bool>();
    }
};

template <typename T>
requires(std::integral<T> && !std::same_as<T, bool>) struct JsonCoding<T> {
    static Json encode(T value) { return value; }
    static T decode(const Json &json) {
        if (json.is_number_unsigned()) {
            const auto number = json.get<Json::number_unsigned_t>();
            if (number <= static_cast<std::make_unsigned_t<T>>(std::numeric_limits<T>::max()))
                return static_cast<T>(number);
            throwDoesNotFit(std::to_string(number));
        }
        if (json.is_number_integer()) {
            const auto number = json.get<Json::number_integer_t>();
            if (std::in_range<T>(number))
                return static_cast<T>(number);
            throwDoesNotFit(std::to_string(number));
        }
        if (json.is_number_float()) {
            // A real converts only when it is whole and inside the type's range; the bounds are powers of
            // two, so they are exact as doubles.
            const double number = json.get<double>();
            const double lowest =
                std::numeric_limits<T>::is_signed ? -std::ldexp(1.0, std::numeric_limits<T>::digits) : 0.0;
            const double pastHighest = std::ldexp(1.0, std::numeric_limits<T>::digits);
            if (std::trunc(number) == number && number >= lowest && number < pastHighest)
                return static_cast<T>(number);
            throwDoesNotFit(JsonText::encode(json));
        }
        throwJsonTypeMismatch("an integer", json);
    }

private:
    [[noreturn]] static void throwDoesNotFit(const std::string &numberText) {
        throw DecodingError::dataCorrupted(
            {},
            QStringLiteral("Parsed JSON number <%1> does not fit.").arg(QString::fromStdString(numberText)));
    }
};

template <std::floating_point T> struct JsonCoding<T> {
    static Json encode(T value) { return static_cast<double>(value); }
    static T decode(const Json &json) {
        if (!json.is_number())
            throwJsonTypeMismatch("a real number", json);
        const double number = json.get<double>();
        if (std::isfinite(number) && std::fabs(number) > static_cast<double>(std::numeric_limits<T>::max()))
            throw DecodingError::dataCorrupted({}, QStringLiteral("Parsed JSON number <%1> does not fit.")
                                                       .arg(QString::fromStdString(JsonText::encode(json))));
        return static_cast<T>(number);
    }
};

template <> struct JsonCoding<QString> {
    static Json encode(const QString &value) { return value.toStdString(); }
    static QString decode(const Json &json);
};

template <> struct JsonCoding<QByteArray> {
    static Json encode(const QByteArray &value) { return value.toBase64().toStdString(); }
    static QByteArray decode(const Json &json);
};

template <> struct JsonCoding<platform::Date> {
    static Json encode(platform::Date value) { return value.timeIntervalSinceReferenceDate(); }
    static platform::Date decode(const Json &json) {
        return platform::Date(JsonCoding<double>::decode(json));
    }
};

template <typename Element> struct JsonCoding<std::vector<Element>> {
    static Json encode(const std::vector<Element> &elements) {
        Json array = Json::array();
        for (const Element &element : elements)
            array.push_back(JsonCoding<Element>::encode(element));
        return array;
    }
    static std::vector<Element> decode(const Json &json) {
        if (!json.is_array())
            throwJsonTypeMismatch("an array", json);
        std::vector<Element> elements;
        elements.reserve(json.size());
        for (const Json &element : json)
            elements.push_back(JsonCoding<Element>::decode(element));
        return elements;
    }
};

// A text-keyed map is a JSON object whose member names are the keys.
template <typename Value> struct JsonCoding<std::map<QString, Value>> {
    static Json encode(const std::map<QString, Value> &map) {
        Json object = Json::object();
        for (const auto &[key, value] : map)
            object[key.toStdString()] = JsonCoding<Value>::encode(value);
        return object;
    }
    static std::map<QString, Value> decode(const Json &json) {
        if (!json.is_object())
            throwJsonTypeMismatch("a dictionary", json);
        std::map<QString, Value> map;
        for (const auto &[key, value] : json.items())
            map.insert_or_assign(QString::fromStdString(key), JsonCoding<Value>::decode(value));
        return map;
    }
};

template <typename Wrapped> struct JsonCoding<std::optional<Wrapped>> {
    static Json encode(const std::optional<Wrapped> &value) {
        return value ? JsonCoding<Wrapped>::encode(*value) : Json(nullptr);
    }
    static std::optional<Wrapped> decode(const Json &json) {
        if (json.is_null())
            return std::nullopt;
        return JsonCoding<Wrapped>::decode(json);
    }
};

template <typename T> Json toJson(const T &value) {
    return JsonCoding<T>::encode(value);
}
template <typename T> T fromJson(const Json &json) {
    return JsonCoding<T>::decode(json);
}

// `json` when it is an object; a type mismatch otherwise.
const Json &requireJsonObject(const Json &json, const QStringList &codingPath = {});

// The member `key` of an object; a key-not-found error when it is absent. Null counts as present.
const Json &requiredMember(const Json &object, const char *key, const QStringList &codingPath = {});

// The T held by `json`, or nothing when there is no JSON or it does not hold a T; the reason is dropped.
template <typename T> std::optional<T> decodedOrNothing(const std::optional<Json> &json) {
    if (!json)
        return std::nullopt;
    try {
        return fromJson<T>(*json);
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

// A value of type T read from JSON text, or nothing when the text is not JSON or does not hold a T; the
// reason is dropped.
template <typename T> std::optional<T> decodeJson(std::string_view text) {
    return decodedOrNothing<T>(JsonText::decode(text));
}
template <typename T> std::optional<T> decodeJson(const QByteArray &text) {
    return decodeJson<T>(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

// A value's stored JSON text (see JsonText::encodeStoredValue). Throws JsonEncodingError.
template <typename T> std::string encodeJsonValue(const T &value) {
    return JsonText::encodeStoredValue(toJson(value));
}

// A value read back from its stored JSON text (see JsonText::decodeStoredValue); nothing when it fails.
template <typename T> std::optional<T> decodeJsonValue(std::string_view storedText) {
    return decodedOrNothing<T>(JsonText::decodeStoredValue(storedText));
}

} // namespace kestrova

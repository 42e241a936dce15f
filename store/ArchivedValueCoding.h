#pragma once

#include "foundation/json/DecodingError.h"
#include "foundation/json/JsonCoding.h"
#include "platform/defaults/KeyedArchive.h"

namespace kestrova {

namespace detail {
template <typename T> T unarchivedOrThrow(const platform::KeyedArchive::Result<T> &result) {
    if (result.value)
        return *result.value;
    if (result.failure == platform::KeyedArchive::Failure::wrongClass)
        throw DecodingError::typeMismatch({}, QStringLiteral("Invalid type"));
    throw DecodingError::dataCorrupted({}, QStringLiteral("The data couldn’t be read because it isn’t in the "
                                                          "correct format."));
}
} // namespace detail

// Colours and images inside stored records: one JSON text, the standard Base64 form of the value's archive.
// Reading accepts only an archive of exactly the expected class ("Invalid type" otherwise).
template <> struct JsonCoding<platform::Color> {
    static Json encode(const platform::Color &color) {
        return JsonCoding<QByteArray>::encode(platform::KeyedArchive::archive(color));
    }
    static platform::Color decode(const Json &json) {
        return detail::unarchivedOrThrow(
            platform::KeyedArchive::unarchiveColor(JsonCoding<QByteArray>::decode(json)));
    }
};

template <> struct JsonCoding<platform::Image> {
    static Json encode(const platform::Image &image) {
        return JsonCoding<QByteArray>::encode(platform::KeyedArchive::archive(image));
    }
    static platform::Image decode(const Json &json) {
        return detail::unarchivedOrThrow(
            platform::KeyedArchive::unarchiveImage(JsonCoding<QByteArray>::decode(json)));
    }
};

} // namespace kestrova

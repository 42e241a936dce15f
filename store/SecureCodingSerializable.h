#pragma once

#include "DefaultsSerializable.h"

#include "platform/defaults/KeyedArchive.h"

#include <cstdio>

namespace kestrova::Defaults {

namespace detail {
inline platform::KeyedArchive::Result<platform::Color> unarchive(const QByteArray &data,
                                                                 const platform::Color *) {
    return platform::KeyedArchive::unarchiveColor(data);
}
inline platform::KeyedArchive::Result<platform::Image> unarchive(const QByteArray &data,
                                                                 const platform::Image *) {
    return platform::KeyedArchive::unarchiveImage(data);
}
} // namespace detail

// A colour or an image kept under a key as its archive (binary data). Reading names the one class it
// accepts, so stored bytes never become an object of another class: an archive of another class reads as
// nothing, silently; a damaged one says why on standard output, as the JSON encoder's failures do.
template <typename T> struct SecureCodingSerializable {
    static constexpr bool storesNatively = false;
    static std::optional<PropertyListValue> toStored(const T &value) {
        return PropertyListValue(platform::KeyedArchive::archive(value));
    }
    static std::optional<T> fromStored(const PropertyListValue &stored) {
        const auto *data = stored.getIf<QByteArray>();
        if (!data)
            return std::nullopt;
        auto result = detail::unarchive(*data, static_cast<const T *>(nullptr));
        if (result.failure == platform::KeyedArchive::Failure::damaged) {
            std::printf("The data couldn’t be read because it isn’t in the correct format.\n");
            std::fflush(stdout);
        }
        return result.value;
    }
};

template <> struct Serializable<platform::Color> : SecureCodingSerializable<platform::Color> {};
template <> struct Serializable<platform::Image> : SecureCodingSerializable<platform::Image> {};

} // namespace kestrova::Defaults

#pragma once

#include "platform/values/Color.h"
#include "platform/values/Image.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kestrova::platform {

// The archived form of the colours and images that stored records carry: a tag naming the class, then the
// value. Reading names the one class it accepts and refuses an archive of any other class before it looks
// at the value, so stored bytes can never turn into an object the reader did not ask for.
//
// Layout: "KVAR", a version byte (1), a length byte and the ASCII class name ("Color" or "Image"), then the
// value: four big-endian IEEE doubles (red, green, blue, alpha) for a colour, the PNG bytes for an image.
// Archiving cannot fail for any Color or Image.
class KeyedArchive {
public:
    static constexpr auto kColorClassName = "Color";
    static constexpr auto kImageClassName = "Image";

    enum class Failure { none, damaged, wrongClass };
    template <typename T> struct Result {
        std::optional<T> value;
        Failure failure = Failure::none;
    };

    static QByteArray archive(const Color &color);
    static QByteArray archive(const Image &image);

    static Result<Color> unarchiveColor(const QByteArray &archive);
    static Result<Image> unarchiveImage(const QByteArray &archive);

    // The class an archive says it holds; nothing for bytes that are no archive.
    static std::optional<QString> className(const QByteArray &archive);
};

} // namespace kestrova::platform

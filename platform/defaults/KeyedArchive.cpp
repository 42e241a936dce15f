#include "KeyedArchive.h"

#include <QtEndian>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kestrova::platform {

namespace {

constexpr char kMagic[] = "KVAR";
constexpr std::size_t kMagicSize = 4;
constexpr char kVersion = 1;
constexpr qsizetype kColorValueSize = 4 * 8;

QByteArray header(const char *className) {
    const auto nameSize = std::strlen(className);
    QByteArray bytes(kMagic, kMagicSize);
    bytes.append(kVersion);
    bytes.append(char(nameSize));
    bytes.append(className, qsizetype(nameSize));
    return bytes;
}

struct Parsed {
    QByteArray className;
    QByteArray value;
};

std::optional<Parsed> parse(const QByteArray &archive) {
    if (archive.size() < qsizetype(kMagicSize) + 2 || !archive.startsWith(QByteArray(kMagic, kMagicSize)) ||
        archive.at(kMagicSize) != kVersion)
        return std::nullopt;
    const auto nameSize = qsizetype(static_cast<unsigned char>(archive.at(kMagicSize + 1)));
    const qsizetype nameStart = qsizetype(kMagicSize) + 2;
    if (nameSize == 0 || archive.size() < nameStart + nameSize)
        return std::nullopt;
    return Parsed{archive.mid(nameStart, nameSize), archive.mid(nameStart + nameSize)};
}

template <typename T> KeyedArchive::Result<T> refused(KeyedArchive::Failure failure) {
    return {std::nullopt, failure};
}

} // namespace

QByteArray KeyedArchive::archive(const Color &color) {
    QByteArray bytes = header(kColorClassName);
    for (const double component : {color.red(), color.green(), color.blue(), color.alpha()}) {
        const auto bits = qToBigEndian(std::bit_cast<std::uint64_t>(component));
        bytes.append(reinterpret_cast<const char *>(&bits), sizeof bits);
    }
    return bytes;
}

QByteArray KeyedArchive::archive(const Image &image) {
    return header(kImageClassName) + image.pngData();
}

KeyedArchive::Result<Color> KeyedArchive::unarchiveColor(const QByteArray &archive) {
    const auto parsed = parse(archive);
    if (!parsed)
        return refused<Color>(Failure::damaged);
    if (parsed->className != kColorClassName)
        return refused<Color>(Failure::wrongClass);
    if (parsed->value.size() != kColorValueSize)
        return refused<Color>(Failure::damaged);
    double components[4];
    for (int index = 0; index < 4; ++index) {
        std::uint64_t bits;
        std::memcpy(&bits, parsed->value.constData() + index * 8, sizeof bits);
        components[index] = std::bit_cast<double>(qFromBigEndian(bits));
        if (!std::isfinite(components[index]))
            return refused<Color>(Failure::damaged);
    }
    return {Color(components[0], components[1], components[2], components[3]), Failure::none};
}

KeyedArchive::Result<Image> KeyedArchive::unarchiveImage(const QByteArray &archive) {
    const auto parsed = parse(archive);
    if (!parsed)
        return refused<Image>(Failure::damaged);
    if (parsed->className != kImageClassName)
        return refused<Image>(Failure::wrongClass);
    auto image = Image::fromPngData(parsed->value);
    if (!image)
        return refused<Image>(Failure::damaged);
    return {std::move(image), Failure::none};
}

std::optional<QString> KeyedArchive::className(const QByteArray &archive) {
    const auto parsed = parse(archive);
    if (!parsed)
        return std::nullopt;
    return QString::fromLatin1(parsed->className);
}

} // namespace kestrova::platform

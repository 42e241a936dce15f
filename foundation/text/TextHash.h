#pragma once

#include <QString>

#include <concepts>
#include <cstdint>
#include <string_view>

namespace kestrova {

// The kit's stable text hash: 64-bit FNV-1a over the text's UTF-8 bytes. Unlike std::hash it is the same in
// every process and build, so it can name things that are stored or sent (error codes).
constexpr std::uint64_t fnv1a64(std::string_view utf8) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char byte : utf8) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// Only for QString itself, so that a string literal goes to the overload above.
template <typename Text>
requires std::same_as<Text, QString> std::uint64_t fnv1a64(const Text &text) {
    const QByteArray utf8 = text.toUtf8();
    return fnv1a64(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

} // namespace kestrova

#pragma once

#include <QString>

#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace kestrova {

// The names of the alert sounds a user may pick, kept as names: storing one means storing its name. Made from
// its name by exact, case-sensitive match.
enum class MacSystemSound {
    basso,
    blow,
    bottle,
    frog,
    funk,
    glass,
    hero,
    morse,
    ping,
    pop,
    purr,
    sosumi,
    submarine,
    tink
};

// Every case with its name, in declaration order (the settings store keeps the sounds by these names).
inline constexpr std::array macSystemSoundCases{
    std::pair{MacSystemSound::basso, "Basso"},         std::pair{MacSystemSound::blow, "Blow"},
    std::pair{MacSystemSound::bottle, "Bottle"},       std::pair{MacSystemSound::frog, "Frog"},
    std::pair{MacSystemSound::funk, "Funk"},           std::pair{MacSystemSound::glass, "Glass"},
    std::pair{MacSystemSound::hero, "Hero"},           std::pair{MacSystemSound::morse, "Morse"},
    std::pair{MacSystemSound::ping, "Ping"},           std::pair{MacSystemSound::pop, "Pop"},
    std::pair{MacSystemSound::purr, "Purr"},           std::pair{MacSystemSound::sosumi, "Sosumi"},
    std::pair{MacSystemSound::submarine, "Submarine"}, std::pair{MacSystemSound::tink, "Tink"}};

// A language as a BCP 47 tag ("en", "zh-Hans"). Equal, ordered and hashed by its tag.
class NLLanguage {
public:
    using RawValue = QString;

    // Any non-empty tag names a language; an empty one names none.
    static std::optional<NLLanguage> fromRawValue(const QString &rawValue);
    const QString &rawValue() const { return m_rawValue; }

    // The language nothing could be told of ("und"); never among allCases.
    static NLLanguage undetermined();
    // The 56 languages the language tools name, from Amharic to Vietnamese in English alphabetical order.
    static const std::vector<NLLanguage> &allCases();

private:
    explicit NLLanguage(QString rawValue)
        : m_rawValue(std::move(rawValue)) {}

    QString m_rawValue;
};

} // namespace kestrova

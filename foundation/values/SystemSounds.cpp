#include "SystemSounds.h"

namespace kestrova {

std::optional<NLLanguage> NLLanguage::fromRawValue(const QString &rawValue) {
    if (rawValue.isEmpty())
        return std::nullopt;
    return NLLanguage(rawValue);
}

NLLanguage NLLanguage::undetermined() {
    return NLLanguage(QStringLiteral("und"));
}

const std::vector<NLLanguage> &NLLanguage::allCases() {
    // Amharic, Arabic, Armenian, Bengali, Bulgarian, Burmese, Catalan, Cherokee, Croatian, Czech, Danish,
    // Dutch, English, Finnish, French, Georgian, German, Greek, Gujarati, Hebrew, Hindi, Hungarian,
    // Icelandic, Indonesian, Italian, Japanese, Kannada, Khmer, Korean, Lao, Malay, Malayalam, Marathi,
    // Mongolian, Norwegian (Bokmål), Oriya, Persian, Polish, Portuguese, Punjabi, Romanian, Russian,
    // Simplified Chinese, Sinhalese, Slovak, Spanish, Swedish, Tamil, Telugu, Thai, Tibetan, Traditional
    // Chinese, Turkish, Ukrainian, Urdu, Vietnamese.
    static const std::vector<NLLanguage> languages = [] {
        std::vector<NLLanguage> list;
        for (const char *tag :
             {"am",      "ar", "hy", "bn", "bg", "my", "ca", "chr", "hr", "cs",      "da", "nl", "en", "fi",
              "fr",      "ka", "de", "el", "gu", "he", "hi", "hu",  "is", "id",      "it", "ja", "kn", "km",
              "ko",      "lo", "ms", "ml", "mr", "mn", "nb", "or",  "fa", "pl",      "pt", "pa", "ro", "ru",
              "zh-Hans", "si", "sk", "es", "sv", "ta", "te", "th",  "bo", "zh-Hant", "tr", "uk", "ur", "vi"})
            list.push_back(NLLanguage(QString::fromLatin1(tag)));
        return list;
    }();
    return languages;
}

} // namespace kestrova

#include "VisibleBidiControls.h"

namespace kestrova {

namespace {

// The abbreviation Unicode gives each control.
const char *controlName(char16_t character) {
    switch (character) {
    case 0x061C:
        return "ALM";
    case 0x200E:
        return "LRM";
    case 0x200F:
        return "RLM";
    case 0x202A:
        return "LRE";
    case 0x202B:
        return "RLE";
    case 0x202C:
        return "PDF";
    case 0x202D:
        return "LRO";
    case 0x202E:
        return "RLO";
    case 0x2066:
        return "LRI";
    case 0x2067:
        return "RLI";
    case 0x2068:
        return "FSI";
    case 0x2069:
        return "PDI";
    default:
        return nullptr;
    }
}

} // namespace

QString withVisibleBidiControls(const QString &text) {
    // Every control lies at or above U+061C: most names are passed over with one comparison a character.
    qsizetype first = 0;
    while (first < text.size() &&
           (text.at(first).unicode() < 0x061C || !controlName(text.at(first).unicode())))
        ++first;
    if (first == text.size())
        return text;
    QString shown = text.left(first);
    for (qsizetype index = first; index < text.size(); ++index) {
        const QChar character = text.at(index);
        if (const char *name = controlName(character.unicode()))
            shown += QStringLiteral("\u27E6%1\u27E7").arg(QLatin1String(name));
        else
            shown += character;
    }
    return shown;
}

} // namespace kestrova

#include "SymbolNameTable_p.h"

#include <QStringList>

#include <algorithm>

namespace kestrova::platform::symbols {

const QHash<QString, QString> &symbolNameTable() {
    // Written by hand from the icon set's file names. A name the set can draw by the plain rule needs no row;
    // a word here also serves every longer name that starts with it ("xmark" serves "xmark.square.fill").
    // Names with nothing close enough in the set are deliberately absent and draw the fallback glyph: the
    // animals without an insect shape (paw print, tortoise, hare), a maker's logo, a tracking tag, the
    // division sign and a folder or share arrow with a question or warning badge.
    static const QHash<QString, QString> table = {
        // Words the set spells differently
        {QStringLiteral("xmark"), QStringLiteral("x")},
        {QStringLiteral("checkmark"), QStringLiteral("check")},
        {QStringLiteral("questionmark"), QStringLiteral("question")},
        {QStringLiteral("questionmark.app"), QStringLiteral("question-square")},
        {QStringLiteral("exclamationmark"), QStringLiteral("exclamation")},
        {QStringLiteral("exclamationmark.triangle"), QStringLiteral("exclamation-triangle")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("search")},
        {QStringLiteral("1.magnifyingglass"), QStringLiteral("zoom-in")},
        {QStringLiteral("minus"), QStringLiteral("dash")},
        {QStringLiteral("doc"), QStringLiteral("file-earmark")},
        {QStringLiteral("doc.text"), QStringLiteral("file-earmark-text")},
        {QStringLiteral("photo"), QStringLiteral("image")},
        {QStringLiteral("ellipsis"), QStringLiteral("three-dots")},
        {QStringLiteral("eyes"), QStringLiteral("eye")},
        {QStringLiteral("gearshape"), QStringLiteral("gear")},
        {QStringLiteral("gearshape.2"), QStringLiteral("gear-wide-connected")},
        {QStringLiteral("icloud"), QStringLiteral("cloud")},
        {QStringLiteral("shippingbox"), QStringLiteral("box-seam")},
        {QStringLiteral("paintbrush"), QStringLiteral("brush")},
        {QStringLiteral("paintbrush.pointed"), QStringLiteral("brush")},
        {QStringLiteral("sparkles"), QStringLiteral("stars")},
        {QStringLiteral("nosign"), QStringLiteral("slash-circle")},
        {QStringLiteral("person.crop"), QStringLiteral("person")},
        {QStringLiteral("rectangle.portrait"), QStringLiteral("file")},
        {QStringLiteral("car"), QStringLiteral("car-front")},
        {QStringLiteral("car.2"), QStringLiteral("car-front-fill")},
        {QStringLiteral("ladybug"), QStringLiteral("bug")},
        {QStringLiteral("ant"), QStringLiteral("bug")},

        // Folders and places
        {QStringLiteral("folder.badge.plus"), QStringLiteral("folder-plus")},
        {QStringLiteral("folder.badge.minus"), QStringLiteral("folder-minus")},
        {QStringLiteral("folder.fill.badge.person.crop"), QStringLiteral("person-workspace")},
        {QStringLiteral("menubar.rectangle"), QStringLiteral("window")},
        {QStringLiteral("menubar.dock.rectangle"), QStringLiteral("window-dock")},
        {QStringLiteral("filemenu.and.selection"), QStringLiteral("menu-button-wide")},
        {QStringLiteral("music.note.house"), QStringLiteral("music-player")},

        // Arrows and actions
        {QStringLiteral("arrow.uturn.backward"), QStringLiteral("arrow-return-left")},
        {QStringLiteral("arrow.uturn.forward"), QStringLiteral("arrow-return-right")},
        {QStringLiteral("arrow.triangle.branch"), QStringLiteral("signpost-split")},
        {QStringLiteral("clock.arrow.circlepath"), QStringLiteral("clock-history")},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("box-arrow-up")},
        {QStringLiteral("square.and.arrow.down"), QStringLiteral("box-arrow-in-down")},
        {QStringLiteral("bell.badge"), QStringLiteral("bell")},

        // Devices
        {QStringLiteral("airpod.gen3.left"), QStringLiteral("earbuds")},
        {QStringLiteral("airport.extreme"), QStringLiteral("router")},
    };
    return table;
}

namespace {

// Language variants of a symbol carry the script's code as their last word; they draw as the plain symbol.
bool isScriptSuffix(const QString &word) {
    static const QStringList suffixes = {
        QStringLiteral("ar"), QStringLiteral("bn"), QStringLiteral("el"), QStringLiteral("gu"),
        QStringLiteral("he"), QStringLiteral("hi"), QStringLiteral("ja"), QStringLiteral("km"),
        QStringLiteral("kn"), QStringLiteral("ko"), QStringLiteral("ml"), QStringLiteral("mr"),
        QStringLiteral("my"), QStringLiteral("or"), QStringLiteral("pa"), QStringLiteral("ru"),
        QStringLiteral("ta"), QStringLiteral("te"), QStringLiteral("th"), QStringLiteral("zh")};
    return suffixes.contains(word);
}

// The words of a name as the icon set spells them: the longest table prefix, then the rest joined by dashes.
QString translatedStem(const QStringList &words) {
    const QHash<QString, QString> &table = symbolNameTable();
    for (qsizetype prefixLength = words.size(); prefixLength > 0; --prefixLength) {
        const auto found = table.constFind(words.first(prefixLength).join(QLatin1Char('.')));
        if (found == table.constEnd())
            continue;
        QStringList parts{*found};
        parts.append(words.mid(prefixLength));
        return parts.join(QLatin1Char('-'));
    }
    return words.join(QLatin1Char('-'));
}

bool isAsciiDigit(QChar character) {
    return character >= u'0' && character <= u'9';
}

// Lower-case ASCII letters and digits only; the names come from stored settings and scripts, so anything
// else (a line break, a letter of another script) makes the name unknown.
bool isWord(QStringView word) {
    return !word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar character) {
        return (character >= u'a' && character <= u'z') || isAsciiDigit(character);
    });
}

bool isShortNumber(QStringView text) {
    return !text.isEmpty() && text.size() <= 3 && std::all_of(text.begin(), text.end(), isAsciiDigit);
}

} // namespace

SymbolSource resolveSymbolName(const QString &name, const std::function<bool(const QString &)> &iconExists) {
    QStringList words = name.split(QLatin1Char('.'));
    if (!std::all_of(words.cbegin(), words.cend(), [](const QString &word) { return isWord(word); }))
        return {};

    SymbolSource source;
    if (words.size() > 1 && words.last() == QLatin1String("rtl")) {
        source.mirrored = true;
        words.removeLast();
    } else if (words.size() > 1 && isScriptSuffix(words.last()) && !iconExists(translatedStem(words))) {
        // Only a suffix when the set has no glyph of that name: "badge.ar" is a glyph of its own.
        words.removeLast();
    }
    const bool filled = words.size() > 1 && words.last() == QLatin1String("fill");
    if (filled)
        words.removeLast();
    auto enclosure = SymbolSource::Enclosure::none;
    if (words.size() > 1 && words.last() == QLatin1String("circle"))
        enclosure = SymbolSource::Enclosure::circle;
    else if (words.size() > 1 && words.last() == QLatin1String("square"))
        enclosure = SymbolSource::Enclosure::square;
    if (enclosure != SymbolSource::Enclosure::none)
        words.removeLast();

    const QString stem = translatedStem(words);
    QString exact = stem;
    if (enclosure == SymbolSource::Enclosure::circle)
        exact += QStringLiteral("-circle");
    else if (enclosure == SymbolSource::Enclosure::square)
        exact += QStringLiteral("-square");
    if (filled)
        exact += QStringLiteral("-fill");
    if (iconExists(exact)) {
        source.iconName = exact;
        return source;
    }

    if (enclosure != SymbolSource::Enclosure::none) {
        // The set has the glyph but not this variant: draw the glyph inside an enclosure of our own.
        source.enclosure = enclosure;
        source.filledEnclosure = filled;
        if (iconExists(stem))
            source.iconName = stem;
        else if (isShortNumber(stem))
            source.text = stem;
        return source.isKnown() ? source : SymbolSource{};
    }
    if (filled && iconExists(stem)) {
        // Only the outline exists; it reads as the same symbol.
        source.iconName = stem;
        return source;
    }
    return {};
}

} // namespace kestrova::platform::symbols

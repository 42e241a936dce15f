#include "ShortkeelKeys.h"

#include "CarbonShortkeel.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QTextBoundaryFinder>

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <map>
#include <memory>
#include <vector>

namespace kestrova::Shortkeel {

namespace {

constexpr std::uint32_t kEvdevToX11 = 8;

struct KeyRow {
    std::int64_t code;
    std::uint32_t evdev;
};

const std::vector<KeyRow> &keyRows() {
#define KESTROVA_KEY_ROW(name, code, evdev) KeyRow{code, evdev},
    static const std::vector<KeyRow> rows{KESTROVA_SHORTKEEL_KEYS(KESTROVA_KEY_ROW)};
#undef KESTROVA_KEY_ROW
    return rows;
}

// Keys that type nothing readable show a symbol of their own, on every layout.
const std::map<std::int64_t, QString> &specialKeyTexts() {
    static const std::map<std::int64_t, QString> texts = [] {
        std::map<std::int64_t, QString> table{
            {Key::return_.rawValue, QStringLiteral("\u21A9")},
            {Key::delete_.rawValue, QStringLiteral("\u232B")},
            {Key::forwardDelete.rawValue, QStringLiteral("\u2326")},
            {Key::end.rawValue, QStringLiteral("\u2198")},
            {Key::escape.rawValue, QStringLiteral("\u238B")},
            {Key::help.rawValue, QStringLiteral("?\u20DD")},
            {Key::home.rawValue, QStringLiteral("\u2196")},
            {Key::space.rawValue, QStringLiteral("\u23B5")},
            {Key::tab.rawValue, QStringLiteral("\u21E5")},
            {Key::pageUp.rawValue, QStringLiteral("\u21DE")},
            {Key::pageDown.rawValue, QStringLiteral("\u21DF")},
            {Key::upArrow.rawValue, QStringLiteral("\u2191")},
            {Key::rightArrow.rawValue, QStringLiteral("\u2192")},
            {Key::downArrow.rawValue, QStringLiteral("\u2193")},
            {Key::leftArrow.rawValue, QStringLiteral("\u2190")},
        };
        const std::array functionKeys{Key::f1,  Key::f2,  Key::f3,  Key::f4,  Key::f5,  Key::f6,  Key::f7,
                                      Key::f8,  Key::f9,  Key::f10, Key::f11, Key::f12, Key::f13, Key::f14,
                                      Key::f15, Key::f16, Key::f17, Key::f18, Key::f19, Key::f20};
        for (std::size_t index = 0; index < functionKeys.size(); ++index)
            table[functionKeys[index].rawValue] = QStringLiteral("F%1").arg(index + 1);
        return table;
    }();
    return texts;
}

// F1 to F20 as the function-key characters of menu key equivalents (U+F704 onwards).
const std::map<std::int64_t, QString> &functionKeyCharacters() {
    static const std::map<std::int64_t, QString> characters = [] {
        std::map<std::int64_t, QString> table;
        for (const auto &[code, text] : specialKeyTexts()) {
            if (text.startsWith(QLatin1Char('F')) && text.size() > 1)
                table[code] = QString(QChar(static_cast<char16_t>(0xF703 + text.mid(1).toInt())));
        }
        return table;
    }();
    return characters;
}

struct KeymapDeleter {
    void operator()(xkb_keymap *keymap) const { xkb_keymap_unref(keymap); }
};
struct ContextDeleter {
    void operator()(xkb_context *context) const { xkb_context_unref(context); }
};

QString &chosenLayout() {
    static QString layout;
    return layout;
}

// The current keymap: the display's own on X11 (asked afresh, so a layout switch shows), else the chosen
// layout's (by default "us").
std::unique_ptr<xkb_keymap, KeymapDeleter> currentKeymap(xkb_context *context) {
    if (chosenLayout().isEmpty() && qGuiApp) {
        if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            xcb_connection_t *connection = x11->connection();
            const std::int32_t device = connection ? xkb_x11_get_core_keyboard_device_id(connection) : -1;
            if (device >= 0) {
                if (auto *keymap = xkb_x11_keymap_new_from_device(context, connection, device,
                                                                  XKB_KEYMAP_COMPILE_NO_FLAGS))
                    return std::unique_ptr<xkb_keymap, KeymapDeleter>(keymap);
            }
        }
    }
    const QByteArray layout = chosenLayout().isEmpty() ? QByteArrayLiteral("us") : chosenLayout().toUtf8();
    const xkb_rule_names names{"evdev", "pc105", layout.constData(), "", ""};
    return std::unique_ptr<xkb_keymap, KeymapDeleter>(
        xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

// The first layout of the keymap whose A key types a Latin letter: shortcuts are shown as typed there.
xkb_layout_index_t asciiCapableLayout(xkb_keymap *keymap) {
    const xkb_keycode_t aKey = 30 + kEvdevToX11;
    for (xkb_layout_index_t layout = 0; layout < xkb_keymap_num_layouts(keymap); ++layout) {
        const xkb_keysym_t *syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, aKey, layout, 0, &syms) > 0 && syms[0] < 0x80)
            return layout;
    }
    return 0;
}

} // namespace

std::optional<std::uint32_t> Key::x11KeyCode() const {
    for (const KeyRow &row : keyRows()) {
        if (row.code == rawValue)
            return row.evdev ? std::optional(row.evdev + kEvdevToX11) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<Key> Key::fromX11KeyCode(std::uint32_t keyCode) {
    for (const KeyRow &row : keyRows()) {
        if (row.evdev && row.evdev + kEvdevToX11 == keyCode)
            return Key{row.code};
    }
    return std::nullopt;
}

Shortcut shortcut(Key key, platform::Modifiers modifiers) {
    return Shortcut{key.rawValue, carbonModifiers(modifiers)};
}

std::optional<Shortcut> shortcutOfX11Key(std::uint32_t keyCode, platform::Modifiers modifiers) {
    const auto key = Key::fromX11KeyCode(keyCode);
    return key ? std::optional(shortcut(*key, modifiers)) : std::nullopt;
}

std::optional<platform::desktop::HotKeyChord> hotKeyChord(const Shortcut &shortcut) {
    using platform::desktop::HotKeyChord;
    constexpr std::int64_t kCarbonBits = cmdKey | shiftKey | optionKey | controlKey;
    if (shortcut.carbonModifiers < 0 || (shortcut.carbonModifiers & ~kCarbonBits) != 0)
        return std::nullopt;
    // Without Control, Option or Command the key would be taken from every program (a plain letter, Caps
    // Lock): only a function key may stand alone or with Shift.
    if ((shortcut.carbonModifiers & (cmdKey | optionKey | controlKey)) == 0 &&
        !isFunctionKey(shortcut.carbonKeyCode))
        return std::nullopt;
    const auto keyCode = key(shortcut).x11KeyCode();
    if (!keyCode)
        return std::nullopt;
    std::uint32_t mask = 0;
    if (shortcut.carbonModifiers & cmdKey)
        mask |= HotKeyChord::superMask;
    if (shortcut.carbonModifiers & shiftKey)
        mask |= HotKeyChord::shiftMask;
    if (shortcut.carbonModifiers & optionKey)
        mask |= HotKeyChord::altMask;
    if (shortcut.carbonModifiers & controlKey)
        mask |= HotKeyChord::controlMask;
    return HotKeyChord{*keyCode, mask};
}

std::optional<QString> keyToCharacter(std::int64_t keyCode) {
    if (const auto special = specialKeyTexts().find(keyCode); special != specialKeyTexts().end())
        return special->second;
    const auto x11KeyCode = Key{keyCode}.x11KeyCode();
    if (!x11KeyCode)
        return std::nullopt;
    const std::unique_ptr<xkb_context, ContextDeleter> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context)
        return std::nullopt;
    const auto keymap = currentKeymap(context.get());
    if (!keymap)
        return std::nullopt;
    xkb_state *state = xkb_state_new(keymap.get());
    if (!state)
        return std::nullopt;
    // With Num Lock on, so that the keypad shows its digits.
    const xkb_mod_index_t numLock = xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_NUM);
    const xkb_mod_mask_t locked = numLock == XKB_MOD_INVALID ? 0 : (1u << numLock);
    xkb_state_update_mask(state, 0, 0, locked, 0, 0, asciiCapableLayout(keymap.get()));
    char text[16] = {};
    xkb_state_key_get_utf8(state, *x11KeyCode, text, sizeof text);
    xkb_state_unref(state);
    return QString::fromUtf8(text);
}

bool isFunctionKey(std::int64_t keyCode) {
    return functionKeyCharacters().contains(keyCode);
}

QString modifierSymbols(platform::Modifiers modifiers) {
    using platform::Modifier;
    QString symbols;
    if (modifiers.testFlag(Modifier::control))
        symbols += QStringLiteral("\u2303");
    if (modifiers.testFlag(Modifier::option))
        symbols += QStringLiteral("\u2325");
    if (modifiers.testFlag(Modifier::shift))
        symbols += QStringLiteral("\u21E7");
    // The key this keyboard has in place of Command.
    if (modifiers.testFlag(Modifier::command))
        symbols += QStringLiteral("Super+");
    return symbols;
}

QString description(const Shortcut &shortcut) {
    // Where the desktop chose the keys (its shortcut portal), what it chose.
    if (const auto *backend = CarbonShortkeel::backend()) {
        for (const auto &[id, hotKey] : CarbonShortkeel::hotKeys()) {
            if (hotKey->shortcut != shortcut)
                continue;
            if (const auto trigger = backend->assignedTrigger(static_cast<std::uint32_t>(id)))
                return *trigger;
        }
    }
    const auto character = keyToCharacter(shortcut.carbonKeyCode);
    return modifierSymbols(modifiers(shortcut)) +
           (character ? character->toUpper() : QStringLiteral("\uFFFD"));
}

QString keyEquivalent(std::int64_t keyCode) {
    const QString character = keyToCharacter(keyCode).value_or(QString());
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, character);
    int count = 0;
    while (graphemes.toNextBoundary() != -1)
        ++count;
    if (count < 2)
        return character;
    const auto function = functionKeyCharacters().find(keyCode);
    return function == functionKeyCharacters().end() ? QString() : function->second;
}

void setKeyboardLayout(const QString &layout) {
    chosenLayout() = layout;
}

} // namespace kestrova::Shortkeel

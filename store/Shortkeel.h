#pragma once

#include "foundation/json/JsonCoding.h"
#include "platform/menus/MenuItem.h"

#include <QString>

#include <cstdint>
#include <optional>

// The names and values of global keyboard shortcuts, as the settings see them. The shortcut library itself
// (storage, recorder, hot-key dispatch) lives in the system-integration layer; see ShortcutService.
namespace kestrova::Shortkeel {

// A key code with the modifier flags of the hot-key API. Stored as the JSON text of the record under
// "Shortkeel_" + name; a disabled shortcut is stored as the Boolean false. Equal by both numbers.
struct Shortcut {
    std::int64_t carbonKeyCode = 0;
    std::int64_t carbonModifiers = 0;

    Json toJson() const {
        return Json{{"carbonKeyCode", carbonKeyCode}, {"carbonModifiers", carbonModifiers}};
    }
    static Shortcut fromJson(const Json &json) {
        return {kestrova::fromJson<std::int64_t>(requiredMember(json, "carbonKeyCode")),
                kestrova::fromJson<std::int64_t>(requiredMember(json, "carbonModifiers"))};
    }
    bool operator==(const Shortcut &) const = default;
    auto operator<=>(const Shortcut &) const = default;
};

// The hot-key API's modifier bits: Command 256, Shift 512, Option 2048, Control 4096.
enum CarbonModifier : std::int64_t {
    cmdKey = 256,
    shiftKey = 512,
    optionKey = 2048,
    controlKey = 4096,
};

// The Carbon bits of menu and key-event modifiers; any other flag (Caps Lock, Function) is dropped.
std::int64_t carbonModifiers(platform::Modifiers modifiers);
// The modifier flags of Carbon bits; bits other than the four are ignored.
platform::Modifiers modifiersOfCarbon(std::int64_t carbonModifiers);

// The name a shortcut is stored under, with the shortcut it starts with (if any).
struct Name {
    QString rawValue;
    std::optional<Shortcut> defaultShortcut;

    explicit Name(QString name, std::optional<Shortcut> initialShortcut = std::nullopt)
        : rawValue(std::move(name))
        , defaultShortcut(initialShortcut) {}

    // The name the stored shortcut's entry is kept under.
    QString userDefaultsKey() const { return QStringLiteral("Shortkeel_") + rawValue; }

    // The main status item's shortcut: toggles its menu. No default.
    static const Name &toggleMenu() {
        static const Name name(QStringLiteral("toggleMenu"));
        return name;
    }

    bool operator==(const Name &other) const { return rawValue == other.rawValue; }
};

} // namespace kestrova::Shortkeel

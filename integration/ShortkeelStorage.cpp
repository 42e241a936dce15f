#include "ShortkeelStorage.h"

#include "CarbonShortkeel.h"

#include "foundation/json/JsonText.h"
#include "platform/observation/NotificationCenter.h"
#include "platform/defaults/UserDefaults.h"
#include "store/ShortkeelHandlers.h"

#include <algorithm>

namespace kestrova::Shortkeel {

namespace {

const QString kKeyPrefix = QStringLiteral("Shortkeel_");

// Whether a name other than `name` stores `shortcut`: its hot key is then still wanted.
bool isStoredByAnotherName(const Shortcut &shortcut, const Name &name) {
    return std::ranges::any_of(namesStoring(shortcut), [&](const Name &other) { return !(other == name); });
}

void takeDownUnlessStoredElsewhere(const Shortcut &shortcut, const Name &name) {
    if (isStoredByAnotherName(shortcut, name))
        return;
    CarbonShortkeel::unregister(shortcut);
    registeredShortcuts().erase(shortcut);
}

void postChange(const Name &name) {
    platform::NotificationCenter::defaultCenter().post(
        {shortcutByNameDidChange, nullptr, {{QStringLiteral("name"), name}}});
}

} // namespace

void setShortcut(const std::optional<Shortcut> &shortcut, const Name &name) {
    const auto old = getShortcut(name);
    if (!shortcut) {
        if (!old)
            return;
        platform::UserDefaults::standard()->setObject(platform::PropertyListValue(false),
                                                      name.userDefaultsKey());
        takeDownUnlessStoredElsewhere(*old, name);
        postChange(name);
        return;
    }
    const QString text = QString::fromStdString(JsonText::encode(shortcut->toJson()));
    // Stored first: the hot key is labelled with the name that stores it.
    platform::UserDefaults::standard()->setObject(platform::PropertyListValue(text), name.userDefaultsKey());
    if (old)
        takeDownUnlessStoredElsewhere(*old, name);
    if (!registeredShortcuts().contains(*shortcut)) {
        CarbonShortkeel::registerShortcut(*shortcut, &handleOnKeyDown, &handleOnKeyUp);
        registeredShortcuts().insert(*shortcut);
    }
    postChange(name);
}

void reset(const std::vector<Name> &names) {
    for (const Name &name : names)
        setShortcut(name.defaultShortcut, name);
}

Name makeName(const QString &rawValue, const std::optional<Shortcut> &defaultShortcut) {
    Name name(rawValue, defaultShortcut);
    if (defaultShortcut && !platform::UserDefaults::standard()->object(name.userDefaultsKey()))
        setShortcut(defaultShortcut, name);
    return name;
}

std::vector<Name> namesStoring(const Shortcut &shortcut) {
    std::vector<Name> names;
    for (const auto &[key, value] : platform::UserDefaults::standard()->dictionaryRepresentation()) {
        if (!key.startsWith(kKeyPrefix))
            continue;
        Name name(key.mid(kKeyPrefix.size()));
        if (getShortcut(name) == shortcut)
            names.push_back(std::move(name));
    }
    return names;
}

std::set<Shortcut> &registeredShortcuts() {
    static std::set<Shortcut> shortcuts;
    return shortcuts;
}

} // namespace kestrova::Shortkeel

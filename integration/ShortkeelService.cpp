#include "ShortkeelService.h"

#include "CarbonShortkeel.h"
#include "ShortkeelStorage.h"

#include "store/ShortkeelHandlers.h"

namespace kestrova {

void ShortkeelService::reset(const std::vector<Shortkeel::Name> &names) {
    Shortkeel::reset(names);
}

bool ShortkeelService::isRegistered(const Shortkeel::Shortcut &shortcut) const {
    return Shortkeel::registeredShortcuts().contains(shortcut);
}

void ShortkeelService::insertRegistered(const Shortkeel::Shortcut &shortcut) {
    Shortkeel::registeredShortcuts().insert(shortcut);
}

void ShortkeelService::removeRegistered(const Shortkeel::Shortcut &shortcut) {
    Shortkeel::registeredShortcuts().erase(shortcut);
}

void ShortkeelService::registerHotKey(const Shortkeel::Shortcut &shortcut) {
    CarbonShortkeel::registerShortcut(shortcut, &Shortkeel::handleOnKeyDown, &Shortkeel::handleOnKeyUp);
}

void ShortkeelService::unregisterHotKey(const Shortkeel::Shortcut &shortcut) {
    CarbonShortkeel::unregister(shortcut);
}

} // namespace kestrova

#include "ShortcutService.h"

namespace kestrova {

namespace {

class NoShortcutService final : public ShortcutService {
public:
    void reset(const std::vector<Shortkeel::Name> &) override {}
    bool isRegistered(const Shortkeel::Shortcut &) const override { return false; }
    void insertRegistered(const Shortkeel::Shortcut &) override {}
    void removeRegistered(const Shortkeel::Shortcut &) override {}
    void registerHotKey(const Shortkeel::Shortcut &) override {}
    void unregisterHotKey(const Shortkeel::Shortcut &) override {}
};

std::shared_ptr<ShortcutService> &sharedService() {
    static std::shared_ptr<ShortcutService> service = std::make_shared<NoShortcutService>();
    return service;
}

} // namespace

void ShortcutService::makeLive(const Shortkeel::Shortcut &shortcut) {
    if (isRegistered(shortcut))
        return;
    registerHotKey(shortcut);
    insertRegistered(shortcut);
}

void ShortcutService::takeDown(const Shortkeel::Shortcut &shortcut) {
    unregisterHotKey(shortcut);
    removeRegistered(shortcut);
}

ShortcutService &ShortcutService::shared() {
    return *sharedService();
}

void ShortcutService::setShared(std::shared_ptr<ShortcutService> service) {
    sharedService() = service ? std::move(service) : std::make_shared<NoShortcutService>();
}

} // namespace kestrova

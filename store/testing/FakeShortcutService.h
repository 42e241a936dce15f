#pragma once

#include "store/ShortcutService.h"

#include <algorithm>
#include <set>
#include <vector>

namespace kestrova::testing {

// A shortcut service held in memory: keeps the registered set and the registered hot keys, and records each
// reset, registration and unregistration in order.
class FakeShortcutService : public ShortcutService {
public:
    void reset(const std::vector<Shortkeel::Name> &names) override {
        for (const auto &name : names)
            resetNames.push_back(name.rawValue);
    }
    bool isRegistered(const Shortkeel::Shortcut &shortcut) const override {
        return registered.contains(shortcut);
    }
    void insertRegistered(const Shortkeel::Shortcut &shortcut) override { registered.insert(shortcut); }
    void removeRegistered(const Shortkeel::Shortcut &shortcut) override { registered.erase(shortcut); }
    void registerHotKey(const Shortkeel::Shortcut &shortcut) override {
        registrations.push_back(shortcut);
        hotKeys.insert(shortcut);
    }
    void unregisterHotKey(const Shortkeel::Shortcut &shortcut) override {
        unregistrations.push_back(shortcut);
        hotKeys.erase(shortcut);
    }

    std::set<Shortkeel::Shortcut> registered;
    std::set<Shortkeel::Shortcut> hotKeys;
    std::vector<QString> resetNames;
    std::vector<Shortkeel::Shortcut> registrations;
    std::vector<Shortkeel::Shortcut> unregistrations;
};

// Installs a fake service for as long as it lives, and the do-nothing service afterwards.
class ScopedFakeShortcutService {
public:
    ScopedFakeShortcutService() { ShortcutService::setShared(m_service); }
    ~ScopedFakeShortcutService() { ShortcutService::setShared(nullptr); }
    ScopedFakeShortcutService(const ScopedFakeShortcutService &) = delete;
    ScopedFakeShortcutService &operator=(const ScopedFakeShortcutService &) = delete;

    FakeShortcutService &service() { return *m_service; }

private:
    std::shared_ptr<FakeShortcutService> m_service = std::make_shared<FakeShortcutService>();
};

} // namespace kestrova::testing

#pragma once

#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/menus/KvSharingService.h"

#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

namespace kestrova {

// The "Share" submenu for a fixed list of items: a separator, then one row per sharing service the desktop
// offers for them, or a disabled "Nothing to Share". Empty for an empty list. A row chosen after the menu
// is gone does nothing; a service that fails is presented as an error.
class SystemShareMenu : public KvMenu {
public:
    static std::shared_ptr<SystemShareMenu> create(std::vector<QUrl> items);

    // Use create: the rows hold the menu weakly, which needs it owned by a shared_ptr.
    explicit SystemShareMenu(std::vector<QUrl> items);

    const std::vector<QUrl> &shareItems() const { return m_shareItems; }
    // Runs before a service performs.
    std::function<void()> didClick;

private:
    std::vector<QUrl> m_shareItems;
};

// A "Share" menu that lists the services for the items only when it is about to show, so the items may
// change between showings: a separator, the host's own services that can take the items, a separator, then
// the desktop's. The items come from the hooks: `hooks.itemTypes` (placeholders, to learn which services
// apply) or `hooks.items` (the real items, kept until a service has performed). Nothing is rebuilt while the
// menu hangs under a disabled item.
class ShareMenu : public KvMenu {
public:
    ShareMenu();

    // The host's hooks, shared by every share menu (`items` lives here, beside the menu's own rows).
    struct Hooks {
        std::function<std::vector<ShareItemType>()> itemTypes;
        std::function<std::vector<ShareItem>()> items;
        std::function<std::vector<std::shared_ptr<KvSharingService>>()> customServices;
    };
    static Hooks hooks;

    const std::optional<std::vector<ShareItem>> &shareItems() const { return m_shareItems; }

protected:
    void didNeedUpdate() override;

private:
    void actionHandler(const std::shared_ptr<platform::SharingService> &service);

    std::optional<std::vector<ShareItem>> m_shareItems;
    std::shared_ptr<int> m_alive = std::make_shared<int>();
};

// A "Share" item whose submenu is a new ShareMenu.
class ShareMenuItem : public platform::MenuItem {
public:
    ShareMenuItem();
};

// Appends a plain "Share" item whose submenu is a SystemShareMenu for the items, and returns the item.
std::shared_ptr<platform::MenuItem> addShareItem(platform::Menu &menu, const std::vector<QUrl> &items);

} // namespace kestrova

#pragma once

#include "ui-kit/menus/KvMenu.h"

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

// Appends a plain "Share" item whose submenu is a SystemShareMenu for the items, and returns the item.
std::shared_ptr<platform::MenuItem> addShareItem(platform::Menu &menu, const std::vector<QUrl> &items);

} // namespace kestrova

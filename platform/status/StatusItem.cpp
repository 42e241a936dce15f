#include "platform/status/StatusItem.h"

#include "platform/menus/Menu.h"

namespace kestrova::platform {

namespace {

class DetachedStatusBar : public StatusBar {
public:
    std::shared_ptr<StatusItem> createStatusItem() override { return std::make_shared<DetachedStatusItem>(); }
};

std::shared_ptr<StatusBar> &sharedStatusBar() {
    static std::shared_ptr<StatusBar> statusBar = std::make_shared<DetachedStatusBar>();
    return statusBar;
}

} // namespace

StatusItem::~StatusItem() = default;

bool StatusItem::isHiddenFromMenuBar() const {
    // Switched off is not pushed out.
    if (!isVisible())
        return false;
    return !isTrayAvailable() || (isGeometryKnown() && geometry().isEmpty());
}

StatusBar::~StatusBar() = default;

StatusBar &StatusBar::shared() {
    return *sharedStatusBar();
}

void StatusBar::setShared(std::shared_ptr<StatusBar> statusBar) {
    sharedStatusBar() = statusBar ? std::move(statusBar) : std::make_shared<DetachedStatusBar>();
}

void DetachedStatusItem::popUpMenu(const std::shared_ptr<Menu> &menu) {
    if (!menu)
        return;
    closeMenu();
    m_openMenu = menu;
    menu->menuNeedsUpdate();
    menu->menuWillOpen();
}

void DetachedStatusItem::closeMenu() {
    if (const auto menu = std::exchange(m_openMenu, nullptr))
        menu->menuDidClose();
}

bool DetachedStatusItem::isMenuOpen() const {
    return m_openMenu && m_openMenu->isOpen();
}

} // namespace kestrova::platform

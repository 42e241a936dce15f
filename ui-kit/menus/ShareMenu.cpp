#include "ShareMenu.h"

#include "ui-kit/menus/CallbackMenuItem.h"

#include "foundation/errors/Error.h"
#include "foundation/errors/ErrorPresentation.h"
#include "platform/workspace/SharingServices.h"

namespace kestrova {

namespace {

const QString kShareDomain = QStringLiteral("Kestrova.ShareMenu");

void perform(const std::weak_ptr<SystemShareMenu> &weakMenu,
             const std::shared_ptr<platform::SharingService> &service) {
    const auto menu = weakMenu.lock();
    if (!menu)
        return;
    if (menu->didClick)
        menu->didClick();
    const auto result = service->perform(menu->shareItems());
    if (!result.succeeded) {
        presentAsModal(Error(kShareDomain, 1,
                             {{ErrorKey::localizedDescription,
                               QStringLiteral("“%1” could not share the items.").arg(service->title())},
                              {ErrorKey::localizedFailureReason, result.message}}));
    }
}

} // namespace

SystemShareMenu::SystemShareMenu(std::vector<QUrl> items)
    : KvMenu(QStringLiteral("Share"))
    , m_shareItems(std::move(items)) {}

std::shared_ptr<SystemShareMenu> SystemShareMenu::create(std::vector<QUrl> items) {
    auto menu = std::make_shared<SystemShareMenu>(std::move(items));
    if (menu->m_shareItems.empty())
        return menu;
    menu->addSeparator();
    const auto services = platform::SharingServices::shared().servicesForItems(menu->m_shareItems);
    if (services.empty()) {
        menu->addItem(std::make_shared<platform::MenuItem>(QStringLiteral("Nothing to Share")))
            ->setEnabled(false);
        return menu;
    }
    const std::weak_ptr<SystemShareMenu> weakMenu = menu;
    for (const auto &service : services) {
        auto item =
            addCallbackItem(*menu, service->title(), [weakMenu, service] { perform(weakMenu, service); });
        item->setImage(service->image());
    }
    return menu;
}

std::shared_ptr<platform::MenuItem> addShareItem(platform::Menu &menu, const std::vector<QUrl> &items) {
    auto item = menu.addItem(std::make_shared<platform::MenuItem>(QStringLiteral("Share")));
    item->setSubmenu(SystemShareMenu::create(items));
    return item;
}

} // namespace kestrova

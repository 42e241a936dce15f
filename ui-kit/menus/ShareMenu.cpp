#include "ShareMenu.h"

#include "ui-kit/menus/CallbackMenuItem.h"

#include "foundation/errors/Error.h"
#include "foundation/app/KvApp.h"
#include "foundation/errors/ErrorPresentation.h"
#include "foundation/errors/GeneralError.h"
#include "platform/workspace/SharingServices.h"

namespace kestrova {

namespace {

const QString kShareDomain = QStringLiteral("Kestrova.ShareMenu");

void presentFailure(const std::shared_ptr<platform::SharingService> &service,
                    const platform::WorkspaceResult &result) {
    if (!result.succeeded) {
        presentAsModal(Error(kShareDomain, 1,
                             {{ErrorKey::localizedDescription,
                               QStringLiteral("“%1” could not share the items.").arg(service->title())},
                              {ErrorKey::localizedFailureReason, result.message}}));
    }
}

void perform(const std::weak_ptr<SystemShareMenu> &weakMenu,
             const std::shared_ptr<platform::SharingService> &service) {
    const auto menu = weakMenu.lock();
    if (!menu)
        return;
    if (menu->didClick)
        menu->didClick();
    presentFailure(service, service->perform(menu->shareItems()));
}

// The files and links among the items, when there is nothing else: the desktop's services take only those.
std::optional<std::vector<QUrl>> onlyUrls(const std::vector<ShareItem> &items) {
    std::vector<QUrl> urls;
    for (const ShareItem &item : items) {
        if (const auto *url = std::get_if<QUrl>(&item))
            urls.push_back(*url);
        else
            return std::nullopt;
    }
    return urls;
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

ShareMenu::Hooks ShareMenu::hooks;

ShareMenu::ShareMenu()
    : KvMenu(QStringLiteral("Share")) {}

void ShareMenu::didNeedUpdate() {
    KvMenu::didNeedUpdate();
    if (const platform::MenuItem *holder = supermenuItem(); holder && !holder->isEnabled())
        return;
    std::vector<ShareItem> queryItems;
    if (hooks.itemTypes) {
        for (const ShareItemType type : hooks.itemTypes())
            queryItems.push_back(placeholderShareItem(type));
    } else if (hooks.items) {
        queryItems = hooks.items();
        m_shareItems = queryItems;
    } else {
        KvApp::reportError(GeneralError(QStringLiteral("ShareMenu needs its itemTypes or items hook")));
    }

    removeAllItems();
    addSeparator();
    std::vector<std::shared_ptr<platform::SharingService>> services;
    if (hooks.customServices) {
        for (const auto &service : hooks.customServices()) {
            if (service && service->canPerform(queryItems))
                services.push_back(service);
        }
    }
    const std::size_t customCount = services.size();
    if (const auto urls = onlyUrls(queryItems); urls && !urls->empty()) {
        for (auto &service : platform::SharingServices::shared().servicesForItems(*urls))
            services.push_back(std::move(service));
    }
    // The rows may outlive the menu (a presenter holds the chosen one): they act only while it lives.
    const std::weak_ptr<int> alive = m_alive;
    for (std::size_t index = 0; index < services.size(); ++index) {
        if (index == customCount)
            addSeparator();
        const auto &service = services[index];
        auto item = addCallbackItem(*this, service->title(), [this, alive, service] {
            if (alive.lock())
                actionHandler(service);
        });
        item->setImage(service->image());
        item->setRepresentedObject(service);
    }
}

void ShareMenu::actionHandler(const std::shared_ptr<platform::SharingService> &service) {
    std::vector<ShareItem> chosen = m_shareItems  ? *m_shareItems
                                    : hooks.items ? hooks.items()
                                                  : std::vector<ShareItem>();
    m_shareItems.reset();
    if (const auto custom = std::dynamic_pointer_cast<KvSharingService>(service)) {
        custom->perform(chosen);
        return;
    }
    presentFailure(service, service->perform(onlyUrls(chosen).value_or(std::vector<QUrl>())));
}

ShareMenuItem::ShareMenuItem()
    : platform::MenuItem(QStringLiteral("Share")) {
    setSubmenu(std::make_shared<ShareMenu>());
}

std::shared_ptr<platform::MenuItem> addShareItem(platform::Menu &menu, const std::vector<QUrl> &items) {
    auto item = menu.addItem(std::make_shared<platform::MenuItem>(QStringLiteral("Share")));
    item->setSubmenu(SystemShareMenu::create(items));
    return item;
}

} // namespace kestrova

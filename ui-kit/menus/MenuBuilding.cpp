#include "MenuBuilding.h"

#include "foundation/app/KvApp.h"

#include "ui-kit/utilities/ApplicationHelpers.h"
#include "ui-kit/utilities/AttributedTextHelpers.h"
#include "ui-kit/utilities/LimitedAppRuns.h"
#include "ui-kit/utilities/UrlOpener.h"

#include "platform/status/SymbolImage.h"

#include <QGuiApplication>

namespace kestrova {

std::shared_ptr<platform::MenuItem> emptyViewItem() {
    auto item = std::make_shared<platform::MenuItem>();
    item->setEnabled(false);
    item->setHostedView(platform::HostedViewFactory::empty());
    return item;
}

std::shared_ptr<platform::MenuItem> addMoreItem(platform::Menu &menu, bool isAlternate) {
    std::shared_ptr<platform::MenuItem> item;
    if (isAlternate) {
        menu.addItem(emptyViewItem());
        // No action of its own: a click keeps the menu open on the More submenu instead of closing it.
        item = addCallbackItem(menu, QString(), {});
        item->setAlternate(true);
        item->setKeyEquivalentModifierMask(platform::Modifier::option);
    } else {
        item = menu.addItem(std::make_shared<platform::MenuItem>());
    }
    item->setImage(platform::SymbolImage(QStringLiteral("ellipsis")).image());
    item->setAccessibilityDescription(QStringLiteral("More"));
    return item;
}

std::shared_ptr<platform::MenuItem> addHeader(platform::Menu &menu, const QString &title, bool hasSeparator) {
    if (hasSeparator)
        menu.addSeparator();
    auto item = std::make_shared<platform::MenuItem>(title);
    item->setEnabled(false);
    platform::AttributedText text(title);
    setFontSize(text, smallSystemFontSize());
    item->setAttributedTitle(text);
    menu.addItem(item);
    return item;
}

std::shared_ptr<CallbackMenuItem> addQuitItem(platform::Menu &menu) {
    return addCallbackItem(menu, QStringLiteral("Quit ") + QGuiApplication::applicationDisplayName(),
                           [] { KvApp::quit(); }, {.key = QStringLiteral("q")});
}

std::shared_ptr<CallbackMenuItem> addWebsiteItem(platform::Menu &menu, const std::optional<QUrl> &website) {
    if (!website || !website->isValid())
        return nullptr;
    return addCallbackItem(menu, QStringLiteral("Website"), [url = *website] { UrlOpener::open(url); });
}

std::shared_ptr<CallbackMenuItem> addMoreAppsItem(platform::Menu &menu, const QUrl &page) {
    return addCallbackItem(menu, QStringLiteral("More Apps by Me"), [page] { UrlOpener::open(page); });
}

platform::MenuItem &withSubmenu(platform::MenuItem &item, const std::function<void(KvMenu &)> &build) {
    auto submenu = KvMenu::create();
    build(*submenu);
    if (item.isEnabled())
        item.setSubmenu(std::move(submenu));
    else
        item.setSubmenu(std::make_shared<platform::Menu>());
    return item;
}

platform::MenuItem &setTipDismissSubmenu(platform::MenuItem &item, const QString &id) {
    return setTipDismissSubmenu(item, id, LimitedAppRuns::shared());
}

platform::MenuItem &setTipDismissSubmenu(platform::MenuItem &item, const QString &id, LimitedAppRuns &runs) {
    return withSubmenu(item, [&](KvMenu &submenu) {
        addCallbackItem(submenu, QStringLiteral("Dismiss"), [&runs, id] { runs.finish(id); });
    });
}

void setLazySubmenu(platform::MenuItem &item, MenuBuilder build, std::function<void(bool)> onOpenChange) {
    setLazySubmenu(item, /*clearsOnClose=*/false, std::move(onOpenChange), std::move(build));
}

void setLazySubmenu(platform::MenuItem &item, bool clearsOnClose, std::function<void(bool)> onOpenChange,
                    MenuBuilder build) {
    item.setLazySubmenu(KvMenu::create(), {std::move(build), clearsOnClose, std::move(onOpenChange)});
}

std::shared_ptr<platform::MenuItem> addTipItem(platform::Menu &menu, const QString &title, const QString &id,
                                               qint64 maxRuns) {
    return addTipItem(menu, title, id, maxRuns, LimitedAppRuns::shared());
}

std::shared_ptr<platform::MenuItem> addTipItem(platform::Menu &menu, const QString &title, const QString &id,
                                               qint64 maxRuns, LimitedAppRuns &runs) {
    if (!runs.shouldRun(id, maxRuns, /*startingAt=*/1, /*oncePerRun=*/false))
        return nullptr;
    auto item = std::make_shared<platform::MenuItem>();
    item->setAttributedTitle(
        platform::AttributedText(title, {.color = platform::TextColor::secondaryLabel()}));
    menu.addItem(item);
    setTipDismissSubmenu(*item, id, runs);
    return item;
}

std::function<void()> toggleThenRun(platform::Binding<bool> binding, std::function<void()> then) {
    return [binding = std::move(binding), then = std::move(then)] {
        binding.set(!binding.get());
        if (then)
            then();
    };
}

} // namespace kestrova

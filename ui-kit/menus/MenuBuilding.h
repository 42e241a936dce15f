#pragma once

#include "ui-kit/menus/CallbackMenuItem.h"
#include "ui-kit/menus/KvMenu.h"

#include "platform/observation/Binding.h"
#include "platform/menus/Menu.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace kestrova {

class LimitedAppRuns;

// The builders the application's menus share. Tinting a template image is platform::SymbolImage::tinted.

// A disabled item showing an empty view: the invisible row that a hidden alternate stands in for.
std::shared_ptr<platform::MenuItem> emptyViewItem();

// A title-less item showing the "ellipsis" symbol, described as "More"; the caller gives it a submenu.
// As an alternate it is a Callback item with an empty action revealed by Option, after an empty-view row
// (two rows); otherwise one plain item.
std::shared_ptr<platform::MenuItem> addMoreItem(platform::Menu &menu, bool isAlternate);

// A disabled section header in the small system font, after a separator when asked.
std::shared_ptr<platform::MenuItem> addHeader(platform::Menu &menu, const QString &title,
                                              bool hasSeparator = false);

// "Quit <application name>" on Command-Q; quits on the next turn of the event loop.
std::shared_ptr<CallbackMenuItem> addQuitItem(platform::Menu &menu);
// "Website", opening `website`; nothing is added (and null returned) without one.
std::shared_ptr<CallbackMenuItem> addWebsiteItem(platform::Menu &menu, const std::optional<QUrl> &website);
// "More Apps by Me", opening the maker's page of applications.
std::shared_ptr<CallbackMenuItem> addMoreAppsItem(platform::Menu &menu, const QUrl &page);

// Fills a new KvMenu with `build` at once and makes it the item's submenu; a disabled item gets an empty
// plain menu instead, so what was built never shows. Returns the item.
platform::MenuItem &withSubmenu(platform::MenuItem &item, const std::function<void(KvMenu &)> &build);

// A submenu with one "Dismiss" item that finishes the tip `id` for good (an empty plain menu on a disabled
// item). Returns the item.
platform::MenuItem &setTipDismissSubmenu(platform::MenuItem &item, const QString &id);
platform::MenuItem &setTipDismissSubmenu(platform::MenuItem &item, const QString &id, LimitedAppRuns &runs);

using MenuBuilder = std::function<std::shared_ptr<platform::Menu>()>;

// A KvMenu submenu built by `build` when it first opens and kept from then on.
void setLazySubmenu(platform::MenuItem &item, MenuBuilder build,
                    std::function<void(bool isOpen)> onOpenChange = {});
// The same; with `clearsOnClose` the submenu is emptied one turn after each closing and so rebuilt on every
// opening.
void setLazySubmenu(platform::MenuItem &item, bool clearsOnClose,
                    std::function<void(bool isOpen)> onOpenChange, MenuBuilder build);

// A one-time tip: in the runs the counter allows (maxRuns runs from the first one it is asked about), an
// enabled title-less row showing `title` in the secondary text colour, with the "Dismiss" submenu.
// Nothing is added, and null returned, in other runs.
std::shared_ptr<platform::MenuItem> addTipItem(platform::Menu &menu, const QString &title, const QString &id,
                                               qint64 maxRuns);
std::shared_ptr<platform::MenuItem> addTipItem(platform::Menu &menu, const QString &title, const QString &id,
                                               qint64 maxRuns, LimitedAppRuns &runs);

// An action that inverts the bound flag and then runs `then`.
std::function<void()> toggleThenRun(platform::Binding<bool> binding, std::function<void()> then);

} // namespace kestrova

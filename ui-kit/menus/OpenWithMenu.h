#pragma once

#include <QUrl>

#include <memory>

namespace kestrova {

class KvMenu;
namespace platform {
class Menu;
}

// "Open With" for an entry of a folder menu: the desktop's applications for the entry, each opening it.

// Appends a plain "Open With" item whose submenu is built from openWithMenu when it first opens. Returns
// `menu`.
platform::Menu &addOpenWithItem(platform::Menu &menu, const QUrl &url);

// The applications that open the item at `url`, the desktop's default one first (set apart by a separator
// for a file), then a separator and "Other…" to pick any application. Applications with the same name
// are listed once, at the first one's place.
std::shared_ptr<KvMenu> openWithMenu(const QUrl &url);

// Opens the item with the application of the desktop entry `application` on a later turn. An item that is
// gone, or an application that does not start, is presented as an error; nothing else happens then.
void openURL(const QUrl &url, const QUrl &application);

// Lets the user pick any installed application by name (AppPicker::chooseApplication), then opens the item
// with it as openURL does.
// Cancelling opens nothing.
void chooseApplicationAndOpen(const QUrl &url);

} // namespace kestrova

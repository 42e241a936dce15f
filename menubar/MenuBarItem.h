#pragma once

#include "platform/observation/Binding.h"
#include "platform/status/StatusItem.h"
#include "platform/status/SymbolImage.h"
#include "store/MenuBarItemImage.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QString>

#include <chrono>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kestrova {

class Debouncer;
class KvMenu;

// The picture of a status item. A template image is ink on transparency that is tinted to suit the
// panel (symbol images are drawn as templates); a bitmap keeps its own colours. With a symbol, the tray
// draws the symbol itself at each of its sizes and `image` is only its look at its point size.
struct StatusItemIcon {
    QImage image;
    bool isTemplate = false;
    platform::SymbolImage symbol;

    static StatusItemIcon templateImage(QImage image) { return {std::move(image), true, {}}; }
    static StatusItemIcon bitmap(QImage image) { return {std::move(image), false, {}}; }
    static StatusItemIcon from(const MenuBarItemImage &image);
};

// The length a status item asks for. Trays give every icon the same square slot, so the length is kept
// and reported but changes nothing on screen.
struct StatusItemWidth {
    enum class Kind { fixed, square, variable };

    Kind kind = Kind::variable;
    double length = 0;

    static StatusItemWidth fixed(double length) { return {Kind::fixed, length}; }
    static StatusItemWidth square() { return {Kind::square, 0}; }
    static StatusItemWidth variable() { return {Kind::variable, 0}; }

    // -2 for square, -1 for variable, the payload for fixed.
    double statusItemLength() const;
    bool operator==(const StatusItemWidth &other) const;
};

// One status item as a value: everything the tray should show for it, and what a click does. A
// MenuBarItemCoordinator puts it on the tray and is updated with every new value.
struct MenuBarItem {
    std::optional<QString> id;
    // Shown on the item: trays show no text beside an icon, so it is drawn into the icon's square.
    std::optional<QString> title;
    // The item's name on the tray (its tool tip): absent names it by a non-empty title, else by the
    // application's name.
    std::optional<QString> toolTip;
    std::optional<StatusItemIcon> icon;
    StatusItemWidth width = StatusItemWidth::variable();
    bool appearsDisabled = false;
    // Fills the (emptied) menu before every opening; absent: the item has no menu.
    std::function<void(KvMenu &)> buildMenu;
    std::optional<platform::Binding<bool>> isMenuOpen;
    std::optional<QColor> lightIconColor;
    std::optional<QColor> darkIconColor;
    // Runs on a click; with a menu as well, answering true opens the menu.
    std::function<bool(const platform::StatusItemClick &)> action;
};

// Puts one MenuBarItem on the tray: owns its status item and its menu for its whole life and removes the
// item from the tray when it goes. The menu object stays the same; only its rows are rebuilt, from
// scratch, before each opening. Every status item made here is listed in statusItemRegistry() while it
// lives. Main thread only.
//
// The menu has two presentations: our own popup, and a tray host's drawing of the exported menu. Neither
// holds the other hostage, because a host may never say that its menu closed (dismissed with Escape or a
// click elsewhere). The rule: a host's drawing counts as open only while the host asks to show the menu
// or to choose a row, and for a bounded time after its last such request
// (DBusMenuExporter::kHostMenuLease); then the menu closes in the model, and with it the folder's open
// state, so the hot keys come back. A click on the icon, and our own popup, always win: a menu held open
// only by a host's drawing is closed first and our popup opens. A hot key needs no rule of its own: the
// hot keys are down only while the menu counts as open. Between openings the rows stay built for a host
// that reads them without asking first (refreshClosedMenu keeps them current).
class MenuBarItemCoordinator : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kAppearanceDebounce{500};

    // Creates the status item with the shared StatusBar and applies `item`.
    explicit MenuBarItemCoordinator(MenuBarItem item, QObject *parent = nullptr);
    ~MenuBarItemCoordinator() override;
    Q_DISABLE_COPY_MOVE(MenuBarItemCoordinator)

    // Applies a new value of the item.
    void update(MenuBarItem item);

    const MenuBarItem &item() const { return m_item; }
    const std::shared_ptr<platform::StatusItem> &statusItem() const { return m_statusItem; }
    const std::shared_ptr<KvMenu> &menu() const { return m_menu; }
    // The length last asked for (see StatusItemWidth).
    double length() const { return m_length; }

    // Draws the icon (and the title) for the panel's present look.
    void updateStatusItemIcon();

    // Rebuilds the rows of the closed menu that are kept for a tray host between openings (after its
    // contents changed); an open menu, or one that kept no rows, is left alone.
    void refreshClosedMenu();

private:
    void handleClick(const platform::StatusItemClick &click);
    // Closes the menu in the model when it is open only in a host's drawing.
    void releaseMenuFromHost();
    void openMenu();
    void syncMenuOpenState();
    QColor inkColor() const;

    MenuBarItem m_item;
    std::shared_ptr<platform::StatusItem> m_statusItem;
    std::shared_ptr<KvMenu> m_menu;
    std::unique_ptr<Debouncer> m_appearanceDebouncer;
    double m_length = -1;
};

// Every status item that a coordinator made and that is still alive, in order of creation.
std::vector<std::shared_ptr<platform::StatusItem>> statusItemRegistry();

} // namespace kestrova

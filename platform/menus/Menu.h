#pragma once

#include "platform/menus/MenuItem.h"
#include "platform/observation/Subscription.h"

#include <QString>

#include <memory>
#include <vector>

namespace kestrova::platform {

// A menu as data: a title, rows (MenuItem) and the open / close / needs-update notifications. No widget is
// involved; a presenter in the desktop layer shows a menu, never owns it, and drives the notifications:
//
//   before showing:  menuNeedsUpdate(), then menuWillOpen()   (contents may change in either)
//   after hiding:    menuDidClose(), before the chosen item's performAction()
//
// Each transition is announced once: an open or close that does not change the state is ignored. The open
// state is set before anyone is told, so observers that read isOpen() see the new value. A submenu gets
// its own notifications when it opens and closes.
//
// Invariants the model keeps for every presenter: an item is in at most one menu (adding it here takes it
// out of the other one), a menu is the submenu of at most one item, and the tree has no loops. Separators
// stay in items() exactly as added, since builders append sections without knowing their neighbours;
// what is shown (displayedItems) has a separator only between two rows of content. Menus live in
// shared_ptr: items hold their submenus, and builders hand menus around.
class Menu {
public:
    explicit Menu(QString title = {});
    virtual ~Menu();
    Menu(const Menu &) = delete;
    Menu &operator=(const Menu &) = delete;

    const QString &title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }

    const std::vector<std::shared_ptr<MenuItem>> &items() const { return m_items; }
    std::size_t numberOfItems() const { return m_items.size(); }
    bool isEmpty() const { return m_items.empty(); }

    // Appends the item and returns it. A null item is ignored.
    const std::shared_ptr<MenuItem> &addItem(const std::shared_ptr<MenuItem> &item);
    void insertItem(const std::shared_ptr<MenuItem> &item, std::size_t index);
    std::shared_ptr<MenuItem> addSeparator();
    void removeItem(const std::shared_ptr<MenuItem> &item);
    // Releases every item (and with it every item's closure that nothing else holds).
    void removeAllItems();
    // Moves every item out of the menu, in order.
    std::vector<std::shared_ptr<MenuItem>> takeAllItems();
    // Replaces the items (each taken out of whatever menu held it).
    void setItems(std::vector<std::shared_ptr<MenuItem>> items);

    // The item whose submenu this menu is, or null.
    MenuItem *supermenuItem() const { return m_supermenuItem; }
    // The menu of the supermenu item, or null.
    Menu *supermenu() const;

    bool isOpen() const { return m_isOpen; }
    void menuNeedsUpdate();
    void menuWillOpen();
    void menuDidClose();

    // Observes the open state. Like a current-value stream, the handler is first called at once with the
    // present state, then with every change.
    [[nodiscard]] Subscription observeOpenState(std::function<void(bool isOpen)> handler);
    [[nodiscard]] Subscription observeNeedsUpdate(std::function<void()> handler);

    // Rows still to come: a builder whose rows are slow to come (a folder being listed) left out what it
    // waits for, and fills the menu once it is there. A presenter shows what there is meanwhile (our popup)
    // or answers once the flag drops (a tray host asking to show the menu). Observers hear every change.
    bool isAwaitingContents() const { return m_isAwaitingContents; }
    // Expires with the menu: for a call that comes later and holds the menu by its address.
    std::weak_ptr<const bool> lifetime() const { return m_alive; }
    void setAwaitingContents(bool isAwaiting);
    [[nodiscard]] Subscription observeAwaitingContents(std::function<void(bool isAwaiting)> handler);

    // The rows shown while exactly `heldModifiers` are held: hidden items are left out, and each alternate
    // whose modifier mask equals the held modifiers stands in for the item before it (an empty placeholder
    // row included); other alternates are left out. A separator at the top, at the end or right after
    // another separator is left out too; placeholder rows take no room, so they do not count as content
    // between separators. Presenters show exactly these rows.
    std::vector<std::shared_ptr<MenuItem>> displayedItems(Modifiers heldModifiers = {}) const;
    // The rows of a presenter that cannot reveal alternates while a modifier is held: every alternate that
    // some modifier would reveal is a row of its own after the item it stands in for, and the empty
    // placeholder rows are left out. Hidden items and stray separators are left out as in displayedItems.
    std::vector<std::shared_ptr<MenuItem>> displayedItemsWithEveryAlternate() const;

    // The tree as indented text for tests, one row per line, two spaces per level:
    //   "Quit Kestrova" [key Command+Q]
    //   -----
    //   <empty view> [disabled]
    //   <image: More> [alternate Option]
    //   "Open With" >
    //     "Editor" [on]
    // Titles are quoted with line feeds and tabs written as \n and \t; flags follow in brackets; a row with a
    // submenu ends in ">" and lists the submenu below it, or "> (not built)" for an empty lazy submenu.
    QString dump() const;
    // A title as the dump writes it: in double quotes, with backslashes, quotes, line feeds and tabs escaped.
    static QString quotedTitle(const QString &title);

protected:
    // After the observers of an open-state change have run.
    virtual void openStateDidChange(bool isOpen) { Q_UNUSED(isOpen); }
    // After the observers of a needs-update event have run.
    virtual void didNeedUpdate() {}

private:
    friend class MenuItem;

    void adopt(const std::shared_ptr<MenuItem> &item);
    void setOpen(bool open);
    void dump(QString &into, int depth) const;

    QString m_title;
    std::vector<std::shared_ptr<MenuItem>> m_items;
    MenuItem *m_supermenuItem = nullptr;
    bool m_isOpen = false;
    ObserverList<bool> m_openObservers;
    ObserverList<> m_needsUpdateObservers;
    bool m_isAwaitingContents = false;
    ObserverList<bool> m_awaitingObservers;
    // Gone with the menu, so that a notification can tell that an observer destroyed the menu.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace kestrova::platform

#pragma once

#include "platform/menus/MenuItem.h"
#include "platform/menus/MenuRowSource.h"
#include "platform/observation/Subscription.h"

#include <QString>

#include <functional>
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

    // Every item, the rows of a row source made first (see addRows).
    const std::vector<std::shared_ptr<MenuItem>> &items() const;
    // The rows of a row source count although they are not made.
    std::size_t numberOfItems() const { return m_items.size() + sourceCount(); }
    bool isEmpty() const { return numberOfItems() == 0; }

    // Rows made only when asked for: `source`'s rows follow the items added so far, and items added later
    // follow them. Whatever asks for items() gets them all made and kept; a presenter that shows a window
    // of rows asks for them one at a time (displayedRows, sourceItem) and lets go of those it no longer
    // shows. A menu holds one source; a second one, or an insertion or removal, makes the rows first.
    void addRows(std::shared_ptr<const MenuRowSource> source);
    const std::shared_ptr<const MenuRowSource> &rowSource() const { return m_source; }
    // The items made so far, without the source's rows.
    const std::vector<std::shared_ptr<MenuItem>> &madeItems() const { return m_items; }
    // The source's row `index`, made when nothing holds it, else the same item as before.
    std::shared_ptr<MenuItem> sourceItem(std::size_t index) const;
    // What displayedItems gives, with the source's rows left as a block: `before` and `after` are the
    // displayed items around it.
    struct DisplayedRows {
        std::vector<std::shared_ptr<MenuItem>> before;
        std::size_t sourceRows = 0;
        std::vector<std::shared_ptr<MenuItem>> after;
        std::size_t size() const { return before.size() + sourceRows + after.size(); }
    };
    DisplayedRows displayedRows(Modifiers heldModifiers = {}) const;
    // Moves the items and the row source of `other` into this menu, in place of its own, making no row.
    void takeContentsOf(Menu &other);

    // Appends the item and returns it. A null item is ignored.
    const std::shared_ptr<MenuItem> &addItem(const std::shared_ptr<MenuItem> &item);
    void insertItem(const std::shared_ptr<MenuItem> &item, std::size_t index);
    std::shared_ptr<MenuItem> addSeparator();
    void removeItem(const std::shared_ptr<MenuItem> &item);
    // Releases every item (and with it every item's closure that nothing else holds) and the row source.
    void removeAllItems();
    // Moves every made item out of the menu, in order; rows of the source that were never made are
    // dropped with it, unmade.
    std::vector<std::shared_ptr<MenuItem>> takeAllItems();
    // Gives every row back as takeAllItems does, freed a slice per turn (see releaseGradually), then the
    // memory they took back to the system: a long menu's rows once nothing shows them. Main thread.
    void releaseAllItemsGradually();
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
    // The same with the source's rows left as a block, as displayedRows leaves them.
    DisplayedRows displayedRowsWithEveryAlternate() const;
    // Where the source's rows go among madeItems().
    std::size_t sourceIndex() const { return m_source ? m_sourceAt : m_items.size(); }

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
    std::size_t sourceCount() const { return m_source ? m_source->count() : 0; }
    // What `displayed` makes of the items, with one stand-in row for the source's, split around it.
    DisplayedRows withSourceAsBlock(const std::function<std::vector<std::shared_ptr<MenuItem>>(
                                        const std::vector<std::shared_ptr<MenuItem>> &)> &displayed) const;
    // Makes every row of the source and puts them among the items.
    void makeSourceRows() const;
    // The source's row `index` made anew, as a row of this menu.
    std::shared_ptr<MenuItem> newSourceRow(std::size_t index) const;
    std::shared_ptr<const MenuRowSource> dropSource();
    void setOpen(bool open);
    void dump(QString &into, int depth) const;

    QString m_title;
    // Mutable: asking for every item makes the rows of the source.
    mutable std::vector<std::shared_ptr<MenuItem>> m_items;
    mutable std::shared_ptr<const MenuRowSource> m_source;
    // Where in m_items the source's rows stand.
    mutable std::size_t m_sourceAt = 0;
    // The source's rows made and still held somewhere, by index; there while the menu has a source.
    mutable std::shared_ptr<MadeSourceRows> m_madeRows;
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

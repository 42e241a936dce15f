#pragma once

#include "platform/menus/AttributedText.h"
#include "platform/observation/Subscription.h"

#include <QFlags>
#include <QImage>
#include <QString>
#include <QStringList>

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kestrova::platform {

class Menu;

// Modifier keys of key equivalents and alternates, with the other platform's mask values so that masks
// written as numbers (0x40000 Control, 0x80000 Option) keep their meaning.
enum class Modifier : quint32 {
    shift = 0x20000,
    control = 0x40000,
    option = 0x80000,
    command = 0x100000,
};
Q_DECLARE_FLAGS(Modifiers, Modifier)
Q_DECLARE_OPERATORS_FOR_FLAGS(Modifiers)

// "Control+Option", in the order Shift, Control, Option, Command; "none" for no modifier.
QString modifiersDescription(Modifiers modifiers);

// Something a presenter shows inside a menu row instead of a title. The model never looks inside: the
// desktop layer derives its own factories from this class and turns them into widgets; `description` is
// for dumps and logs only.
class HostedViewFactory {
public:
    // What the row says in a menu that another program draws and that cannot hold our widgets: lines of
    // text, and a picture shown larger than a row's icon. Neither: the row has nothing to show yet.
    struct ExportedForm {
        QStringList lines;
        QImage image;
        bool isEmpty() const { return lines.isEmpty() && image.isNull(); }
    };

    virtual ~HostedViewFactory() = default;
    virtual QString description() const = 0;

    // Absent for views with no text form; such a row is shown by its description.
    virtual std::optional<ExportedForm> exportedForm() const { return std::nullopt; }
    // Calls `changed` on the main thread whenever exportedForm() may have changed, while the subscription
    // lives.
    virtual Subscription observeExportedForm(std::function<void()> changed) const {
        Q_UNUSED(changed);
        return {};
    }

    // The invisible, empty view of placeholder rows (the spacer that stands before a hidden alternate).
    static std::shared_ptr<const HostedViewFactory> empty();
    bool isEmptyView() const { return this == empty().get(); }
};

// How an item fills its submenu the first time it opens (see MenuItem::setLazySubmenu).
struct LazySubmenu {
    // Returns a menu holding the items to show; its items are moved into the submenu. Null counts as empty.
    std::function<std::shared_ptr<Menu>()> build = {};
    // Empties the submenu one event-loop turn after each closing, so every opening builds afresh.
    bool clearsOnClose = false;
    // Told every open-state change of the submenu, once at set-up with false.
    std::function<void(bool isOpen)> onOpenChange = {};
};

class MenuItem;

// The rows a menu made of its row source, by index, and the menu they are rows of (null once it dropped
// the source): shared with those rows, so that a menu lets go of tens of thousands of them at once
// rather than telling each (see Menu::addRows).
struct MadeSourceRows {
    Menu *menu = nullptr;
    std::vector<std::weak_ptr<MenuItem>> rows;
};

// One row of a menu: data and a closure, no widget. A presenter maps it to whatever its toolkit shows.
//
// Titles are kept exactly as given, also when they come from file names: "&", tabs and other characters
// that a toolkit treats as markup are the presenter's to escape ("&" becomes "&&" for Qt), so no name can
// turn into a mnemonic or a shortcut column.
//
// An item belongs to at most one menu at a time, and a menu is the submenu of at most one item; the model
// keeps both rules (see Menu). Items are shared: the menu holds them, and the action holds what it needs.
class MenuItem {
public:
    enum class State { off, on, mixed };

    explicit MenuItem(QString title = {});
    virtual ~MenuItem();
    MenuItem(const MenuItem &) = delete;
    MenuItem &operator=(const MenuItem &) = delete;

    static std::shared_ptr<MenuItem> separator();
    bool isSeparator() const { return m_isSeparator; }

    const QString &title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }
    // Shown instead of the title when set.
    const std::optional<AttributedText> &attributedTitle() const;
    void setAttributedTitle(std::optional<AttributedText> title);
    // The text a presenter shows: the attributed title's text when there is one, else the title.
    QString displayedTitle() const;

    const QImage &image() const { return m_image; }
    void setImage(const QImage &image) { m_image = image; }
    // Said by assistive technologies, mostly for rows that show only an image ("More").
    const QString &accessibilityDescription() const;
    void setAccessibilityDescription(const QString &text);
    const QString &toolTip() const;
    void setToolTip(const QString &toolTip);

    // Exactly as set: nothing enables or disables items behind the builder's back.
    bool isEnabled() const { return m_isEnabled; }
    void setEnabled(bool enabled) { m_isEnabled = enabled; }
    bool isHidden() const { return m_isHidden; }
    void setHidden(bool hidden) { m_isHidden = hidden; }
    State state() const { return m_state; }
    void setState(State state) { m_state = state; }
    // Left out of a menu that another program draws from an export: the row is true only of the menus we
    // draw ourselves (a tip about the key that reveals alternates, or about dragging from a preview).
    bool isLeftOutOfExport() const { return m_isLeftOutOfExport; }
    void setLeftOutOfExport(bool leftOut) { m_isLeftOutOfExport = leftOut; }

    // One character (or empty for none) and its modifier mask; the mask starts as Command, so a key set
    // without modifiers is a Command shortcut.
    const QString &keyEquivalent() const;
    void setKeyEquivalent(const QString &key);
    Modifiers keyEquivalentModifierMask() const { return m_modifierMask; }
    void setKeyEquivalentModifierMask(Modifiers mask) { m_modifierMask = mask; }

    // An alternate stands in for the item before it while exactly its modifier mask is held (see
    // Menu::displayedItems). Alternates are revealed by their key-equivalent modifier mask, as on the
    // other desktop; an alternate without modifiers is never shown.
    bool isAlternate() const { return m_isAlternate; }
    void setAlternate(bool alternate) { m_isAlternate = alternate; }

    qint64 tag() const;
    void setTag(qint64 tag);
    const std::any &representedObject() const;
    void setRepresentedObject(std::any object);

    // The action, run by performAction. Null for plain items (titles, headers, submenu holders).
    bool hasAction() const { return bool(m_action); }
    void setAction(std::function<void()> action);
    // Runs the action when the item is enabled and has one; false otherwise. The action may empty or drop
    // the menu that holds the item, even release the item: its closure stays alive until it returns.
    bool performAction();

    // Makes a deferred submenu first (see setDeferredLazySubmenu).
    const std::shared_ptr<Menu> &submenu() const;
    bool hasSubmenu() const { return m_submenu || m_deferredSubmenu; }
    // Takes the menu out of any other item first. Refused (and logged) when the menu is this item's own
    // menu or one of its ancestors, which would make the tree a loop.
    bool setSubmenu(std::shared_ptr<Menu> submenu);

    // Gives the item `submenu`, filled only when it opens: on each opening while the submenu is empty
    // `lazy.build` runs and its items move into the submenu; a submenu that kept its items from an earlier
    // opening is not built again. The item keeps the subscription for its lifetime. On a disabled item the
    // submenu stays empty for good and nothing is ever built.
    void setLazySubmenu(std::shared_ptr<Menu> submenu, LazySubmenu lazy);
    bool hasLazySubmenu() const { return m_hasLazySubmenu || m_deferredSubmenu; }
    // The same, with the submenu itself made by `makeSubmenu` only when it is first asked for: the rows
    // of a long menu that are never shown or opened cost no menu and no subscription of their own. Seen
    // from outside exactly like setLazySubmenu(makeSubmenu(), lazy).
    void setDeferredLazySubmenu(std::shared_ptr<Menu> (*makeSubmenu)(), LazySubmenu lazy);
    // The deferred submenu is not made yet: nothing has asked for it, so it has no rows, is closed and has
    // never been built.
    bool isSubmenuDeferred() const { return bool(m_deferredSubmenu); }

    const std::shared_ptr<const HostedViewFactory> &hostedView() const;
    void setHostedView(std::shared_ptr<const HostedViewFactory> view);

    // The menu that holds the item, or null.
    Menu *menu() const { return m_madeBy ? m_madeBy->menu : m_menu; }

    // Keeps a subscription alive exactly as long as the item.
    void retain(Subscription subscription) { extras().retained.push_back(std::move(subscription)); }

private:
    friend class Menu;

    // What few rows have, made when first set: a long folder's rows are tens of thousands of items.
    struct Extras {
        std::optional<AttributedText> attributedTitle;
        QString accessibilityDescription;
        QString toolTip;
        QString keyEquivalent;
        qint64 tag = 0;
        std::any representedObject;
        std::shared_ptr<const HostedViewFactory> hostedView;
        // Last, so that the subscriptions end first when the item goes.
        std::vector<Subscription> retained;
    };
    Extras &extras();
    // A field of the extras, or its empty value when the item has none.
    template <typename T> const T &extra(T Extras::*field) const;
    // Sets the field, making the extras only for a value that `isSet`.
    template <typename T> void setExtra(T Extras::*field, T value, bool isSet);

    QString m_title;
    QImage m_image;
    bool m_isSeparator = false;
    bool m_isEnabled = true;
    bool m_isHidden = false;
    bool m_isLeftOutOfExport = false;
    State m_state = State::off;
    Modifiers m_modifierMask = Modifier::command;
    bool m_isAlternate = false;
    std::shared_ptr<std::function<void()>> m_action;
    std::shared_ptr<Menu> m_submenu;
    bool m_hasLazySubmenu = false;
    struct DeferredSubmenu {
        std::shared_ptr<Menu> (*make)();
        LazySubmenu lazy;
    };
    std::unique_ptr<DeferredSubmenu> m_deferredSubmenu;
    Menu *m_menu = nullptr;
    // Set instead of m_menu on a row made of a menu's row source.
    std::shared_ptr<MadeSourceRows> m_madeBy;
    std::unique_ptr<Extras> m_extras;
};

} // namespace kestrova::platform

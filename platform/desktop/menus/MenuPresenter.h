#pragma once

#include "platform/menus/MenuItem.h"

#include <QObject>
#include <QPoint>
#include <QRect>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QWidget;
class QWidgetAction;

namespace kestrova::platform {
class Menu;
}

namespace kestrova::platform::desktop {

class PresentedMenu;
class MenuRowStyle;

// A hosted view the desktop can show in a menu row: makes a fresh widget for every showing of the row
// (the menu takes the widget and frees it with the row).
class HostedWidgetFactory : public HostedViewFactory {
public:
    using Make = std::function<QWidget *()>;

    HostedWidgetFactory(QString description, Make make)
        : m_description(std::move(description))
        , m_make(std::move(make)) {}

    static std::shared_ptr<const HostedWidgetFactory> create(QString description, Make make) {
        return std::make_shared<const HostedWidgetFactory>(std::move(description), std::move(make));
    }

    QString description() const override { return m_description; }
    QWidget *createWidget() const { return m_make ? m_make() : nullptr; }

private:
    QString m_description;
    Make m_make;
};

// Shows a platform::Menu as a QMenu that we pop up ourselves. The presenter never owns the model: it holds
// weak references to the menus and rows it shows, so whoever built the model decides how long it lives.
//
// Per opening of a menu or submenu (QMenu::aboutToShow): menuNeedsUpdate(), then menuWillOpen() (which
// fills lazy submenus), then the rows are built from whatever the model holds at that moment. After a
// menu hides, its menuDidClose() runs on a later turn; once the whole chain is closed the chosen row's
// performAction() runs, and the QMenu tree is freed with deleteLater (never inside a Qt signal).
//
// Alternates follow the modifier keys while the menu is open. Key events reach only the deepest open
// popup, so the state is kept here, by key, and applied to every open menu of the chain; widths are
// reserved for every alternate state so an open menu does not jump, and Alt never closes the menu.
// Titles are shown literally: "&" is escaped and tabs cannot open a shortcut column; line feeds start new
// lines of the row. Rows are drawn by MenuRowStyle, which also gives a menu whose checked rows have
// images a check column.
//
// A row with both an action and a submenu opens the submenu on hover and with the Right key, as every
// submenu row does, while a click on it or Return chooses it like a plain row (Qt alone would only open
// the submenu).
//
// Every menu is one column, at most as tall as its screen, that scrolls; a shown menu that grows (a row
// whose content arrives later, as a file's preview does) is moved back inside its screen. Home, End, Page
// Up and Page Down move the highlight; typing the start of a title goes to the next row it begins. A menu
// longer than windowedAbove() rows holds actions only for the rows on screen, bound afresh as it scrolls
// (WindowedMenu.cpp), so opening it costs little more than opening a short one; every row it shows is
// whole, wherever it is scrolled. Once the chain has closed, every menu of it and all their rows, widgets
// and icons are freed.
class MenuPresenter : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultIconSize = 16;

    explicit MenuPresenter(QObject *parent = nullptr);
    ~MenuPresenter() override;
    Q_DISABLE_COPY_MOVE(MenuPresenter)

    // The side of row images in pixels (16, 24 or 32 in practice); used by menus opened afterwards.
    void setIconSize(int pixels);
    int iconSize() const { return m_iconSize; }

    // Shows `menu` with its top-left corner at `globalPosition`, closing a menu this presenter has open.
    // Returns the shown QMenu, which the presenter owns.
    QMenu *popup(const std::shared_ptr<Menu> &menu, const QPoint &globalPosition);
    // Builds the QMenu without showing it; it is shown (and its notifications fire) when someone calls
    // popup()/exec() on it. The presenter owns it.
    QMenu *present(const std::shared_ptr<Menu> &menu);
    bool isOpen() const;
    // The open root QMenu, or null.
    QMenu *openMenu() const;
    // Closes the open menu and its submenus; no row is chosen.
    void close();

    // The row behind an action of a presented menu, or null.
    static std::shared_ptr<MenuItem> itemForAction(const QAction *action);
    // The text colour an action's row asks for; invalid for the style's own.
    static QColor textColorForAction(const QAction *action, const QPalette &palette);
    // A title as QAction text: "&" doubled so it stays literal, tabs turned into spaces.
    static QString escapedTitle(const QString &title);

    // Menus with more rows than this hold actions only for the rows on screen and scroll through the rest.
    // The default is where the two take the same time (bench/MenuPresenterBench): below it an action per
    // row is quicker, above it the window is, and the gap grows with every row.
    static constexpr std::size_t kDefaultWindowedAbove = 50;
    void setWindowedAbove(std::size_t rows) { m_windowedAbove = rows; }
    std::size_t windowedAbove() const { return m_windowedAbove; }

    // The modifier keys held, as seen by the open menus.
    Modifiers heldModifiers() const { return m_heldModifiers; }
    // Where the held modifiers come from when a menu opens (the keyboard by default).
    void setModifierSource(std::function<Qt::KeyboardModifiers()> source) {
        m_modifierSource = std::move(source);
    }
    // Asked with the global position of a press outside every open menu; answering true closes the menu
    // without waiting for Qt to swallow the press, so the press can open something else in one click.
    void setOutsidePressHandler(std::function<bool(const QPoint &)> handler) {
        m_outsidePress = std::move(handler);
    }

Q_SIGNALS:
    // After the model was told of the close and the chosen row's action ran.
    void menuClosed();

private:
    friend class PresentedMenu;
    struct Presentation;

    PresentedMenu *createMenu(const std::shared_ptr<Menu> &model,
                              const std::shared_ptr<Presentation> &presentation, QWidget *parent);
    void menuAboutToShow(PresentedMenu *menu);
    void menuAboutToHide(PresentedMenu *menu);
    QRect availableArea(PresentedMenu *menu) const;
    // Moves a shown menu that has grown past its screen's edges back inside them.
    void keepOnScreen(PresentedMenu *menu);
    void populate(PresentedMenu *menu);
    // While the model's rows are still to come, fills the shown menu again once they are there.
    void takeRowsWhenTheyCome(PresentedMenu *menu, Menu &model);
    void ensureStyle();
    void addRow(PresentedMenu *menu, const std::shared_ptr<MenuItem> &item);
    static QWidgetAction *hostedAction(PresentedMenu *menu, const HostedViewFactory &hosted);
    static void bindAction(PresentedMenu *menu, QAction *action, const MenuItem &item);
    static void setRowItem(QAction *action, const std::shared_ptr<MenuItem> &item);
    // Long menus: a window of rows (WindowedMenu.cpp).
    void populateWindow(PresentedMenu *menu, const Menu &model);
    void showWindowRows(PresentedMenu *menu, const Menu &model, Modifiers modifiers);
    // The popup's width, from the widest rows bound and laid out as Qt does; and their height.
    struct WidestRows {
        int width = 0;
        int height = 0;
        std::size_t count = 0;
    };
    WidestRows measureWidestRows(PresentedMenu *menu, const Menu &model);
    void bindWindow(PresentedMenu *menu);
    // Binds as many whole rows as the popup holds: from `row` down, or up to `row` when `fromBottom`.
    void fitWindow(PresentedMenu *menu, std::size_t row, bool fromBottom);
    // Brings `row` into the window, moving it as little as needed.
    void revealWindowRow(PresentedMenu *menu, std::size_t row);
    void bindSlot(PresentedMenu *menu, std::size_t slot, const std::shared_ptr<MenuItem> &item);
    bool moveWindowHighlight(PresentedMenu *menu, int key);
    void highlightTypedInWindow(PresentedMenu *menu, const QString &typed, bool fromNextRow);
    void scrollWindow(PresentedMenu *menu, std::ptrdiff_t rows);
    void reserveWidth(PresentedMenu *menu);
    void applyModifiers(PresentedMenu *menu, Modifiers modifiers);
    void modifierKeyChanged(int key, bool pressed);
    bool handleOutsidePress(const QPoint &globalPosition);
    bool chooseRowWithSubmenu(PresentedMenu *menu, QAction *action);
    void highlightTyped(PresentedMenu *menu, const QString &typed, bool fromNextRow);
    bool moveHighlight(PresentedMenu *menu, int key);
    void finishIfClosed(const std::shared_ptr<Presentation> &presentation);

    int m_iconSize = kDefaultIconSize;
    std::size_t m_windowedAbove = kDefaultWindowedAbove;
    MenuRowStyle *m_style = nullptr;
    Modifiers m_heldModifiers;
    std::function<Qt::KeyboardModifiers()> m_modifierSource;
    std::function<bool(const QPoint &)> m_outsidePress;
    std::shared_ptr<Presentation> m_current;
};

// The modifiers of Qt's flags in the model's terms (Control, Alt as Option, Shift, Meta as Command).
Modifiers modifiersFromQt(Qt::KeyboardModifiers modifiers);

} // namespace kestrova::platform::desktop

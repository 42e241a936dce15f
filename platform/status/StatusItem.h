#pragma once

#include "platform/menus/MenuItem.h"
#include "platform/status/StatusItemImage.h"
#include "platform/status/SymbolImage.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

namespace kestrova::platform {

class Menu;

// A click on a status item, as the tray reports it: which button and the modifier keys held.
struct StatusItemClick {
    enum class Button { left, right, middle };

    Button button = Button::left;
    Modifiers modifiers = {};
    QPoint globalPosition = {};

    bool operator==(const StatusItemClick &) const = default;
};

// One icon in the panel's tray. The desktop realization is a tray icon; until one is installed (and in
// tests) items live in memory, show nothing and report that no tray is available. Menus are model menus,
// popped up by the item itself on request. Main thread only.
class StatusItem {
public:
    // Makes the item's menu ready to show (emptied and built afresh by the menu's own update handler as
    // it opens); null for an item without a menu.
    using MenuProvider = std::function<std::shared_ptr<Menu>()>;

    virtual ~StatusItem();

    // What the icon shows, drawn at the size the tray asks for (a title to show is part of the image).
    virtual void setImage(const StatusItemImage &image) = 0;
    virtual StatusItemImage image() const = 0;
    // The item's name: its tool tip, and what a host that lists its items calls it.
    virtual void setTitle(const QString &title) = 0;
    virtual QString title() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
    // Trays keep no places across launches; kept for whoever asks.
    virtual void setAutosaveName(const QString &name) = 0;
    virtual QString autosaveName() const = 0;

    // Whether the panel behind the icon is light or dark.
    virtual SymbolImage::Appearance panelAppearance() const = 0;
    // Called whenever the panel's look may have changed.
    virtual void setOnAppearanceChange(std::function<void()> handler) = 0;
    virtual void setOnClick(std::function<void(const StatusItemClick &)> handler) = 0;

    // Opens `menu` below the icon (the model's open and close notifications are fired by the presenter).
    virtual void popUpMenu(const std::shared_ptr<Menu> &menu) = 0;
    // Closes the menu opened by popUpMenu without running any row.
    virtual void closeMenu() = 0;
    virtual bool isMenuOpen() const = 0;
    // How to get the menu without showing it, for a tray that shows menus itself and asks for the rows
    // when it opens one (the model hears the same open and close notifications as from popUpMenu).
    virtual void setMenuProvider(MenuProvider provider) = 0;

    // Where the icon is on screen; empty when the tray does not say (or shows none).
    virtual QRect geometry() const = 0;
    virtual bool isTrayAvailable() const = 0;
    // Whether a tray of a kind this item does not use is there: an embedding tray beside a status-notifier
    // service that no panel shows. The desktop has a tray; the icon went to the other service.
    virtual bool isOtherKindOfTrayAvailable() const { return false; }
    // False where the tray never tells where its icons are (hosts that draw the icons themselves), so an
    // empty geometry says nothing about the icon being shown.
    virtual bool isGeometryKnown() const { return true; }

    // Meant to show, but there is no tray to show it in, or the tray gave it no place.
    bool isHiddenFromMenuBar() const;
};

// Makes status items. The desktop installs its tray at start-up with setShared.
class StatusBar {
public:
    virtual ~StatusBar();
    virtual std::shared_ptr<StatusItem> createStatusItem() = 0;

    static StatusBar &shared();
    static void setShared(std::shared_ptr<StatusBar> statusBar);
};

// A status item kept in memory: it records what it is told, opens menus only in the model (notifications
// in the presenter's order) and has no tray. The stand-in before a desktop is installed; tests derive
// their fakes from it.
class DetachedStatusItem : public StatusItem {
public:
    void setImage(const StatusItemImage &image) override { m_image = image; }
    StatusItemImage image() const override { return m_image; }
    void setTitle(const QString &title) override { m_title = title; }
    QString title() const override { return m_title; }
    void setVisible(bool visible) override { m_isVisible = visible; }
    bool isVisible() const override { return m_isVisible; }
    void setAutosaveName(const QString &name) override { m_autosaveName = name; }
    QString autosaveName() const override { return m_autosaveName; }
    SymbolImage::Appearance panelAppearance() const override { return m_appearance; }
    void setOnAppearanceChange(std::function<void()> handler) override {
        m_onAppearanceChange = std::move(handler);
    }
    void setOnClick(std::function<void(const StatusItemClick &)> handler) override {
        m_onClick = std::move(handler);
    }
    void popUpMenu(const std::shared_ptr<Menu> &menu) override;
    void closeMenu() override;
    bool isMenuOpen() const override;
    void setMenuProvider(MenuProvider provider) override { m_menuProvider = std::move(provider); }
    const MenuProvider &menuProvider() const { return m_menuProvider; }
    QRect geometry() const override { return {}; }
    bool isTrayAvailable() const override { return false; }

    // The menu open now, or null.
    std::shared_ptr<Menu> openMenu() const { return m_openMenu; }

protected:
    StatusItemImage m_image;
    QString m_title;
    bool m_isVisible = true;
    QString m_autosaveName;
    SymbolImage::Appearance m_appearance = SymbolImage::Appearance::light;
    std::function<void()> m_onAppearanceChange;
    std::function<void(const StatusItemClick &)> m_onClick;
    std::shared_ptr<Menu> m_openMenu;
    MenuProvider m_menuProvider;
};

} // namespace kestrova::platform

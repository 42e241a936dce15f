#pragma once

#include "platform/status/StatusItem.h"
#include "platform/desktop/tray/StatusNotifierItem.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QSystemTrayIcon;

namespace kestrova::platform::desktop {

class MenuPresenter;
class StatusNotifierWatch;

// A status item on the desktop's tray. Where a status-notifier watcher runs on the session bus, the item is
// a StatusNotifierItem of our own (a panel that draws the icons itself); otherwise it is an embedded tray
// icon (QSystemTrayIcon). The item follows the watcher as it comes and goes (a panel restart), and
// registers again with a new one.
//
// A click is reported, and popUpMenu shows our own QMenu (it has the hosted views and the live alternates).
// An embedded icon has a geometry, and the menu opens below it; a status-notifier host gives only the click
// point, and the menu goes against the panel that point is in (popupPositionBesidePanel). A status-notifier
// item also exports the menu of the menu provider, rebuilt each time the host opens it: on X11 the host
// shows it for its own menu request; on Wayland a menu of ours would be a window of its own in the middle
// of the screen, so there the item is a menu (ItemIsMenu), the host shows the exported menu on every
// click, and popUpMenu makes no window: it asks the host to show the exported menu
// (ItemActivationRequested on its root), and says once in the log that it did. The host's Activate is a plain
// left click, its ContextMenu and SecondaryActivate a right click, so the item's click rules see the same
// clicks either way. While one item's menu is open, a press on another embedded icon closes the menu and
// clicks that item at once, where the tray would swallow the press. The icon is drawn at every size a tray
// asks for (StatusItemImage::kTraySizes); the title names it (tool tip, and the host's title). Main thread
// only.
class TrayStatusItem : public QObject, public DetachedStatusItem {
    Q_OBJECT

public:
    explicit TrayStatusItem(QObject *parent = nullptr);
    explicit TrayStatusItem(const StatusNotifierBus &bus, QObject *parent = nullptr);
    // On the display platform `platformName` (as QGuiApplication names it).
    TrayStatusItem(const StatusNotifierBus &bus, const QString &platformName, QObject *parent = nullptr);
    ~TrayStatusItem() override;
    Q_DISABLE_COPY_MOVE(TrayStatusItem)

    void setImage(const StatusItemImage &image) override;
    void setTitle(const QString &title) override;
    void setVisible(bool visible) override;
    void setAutosaveName(const QString &name) override;
    SymbolImage::Appearance panelAppearance() const override;
    void popUpMenu(const std::shared_ptr<Menu> &menu) override;
    void closeMenu() override;
    bool isMenuOpen() const override;
    void setMenuProvider(MenuProvider provider) override;
    QRect geometry() const override;
    // With a watcher: whether a host has registered to draw the items.
    bool isTrayAvailable() const override;
    bool isGeometryKnown() const override;

    MenuPresenter &presenter() { return *m_presenter; }
    // Reports a click as the tray would (the outside-press hand-over and tests use it).
    void click(const StatusItemClick &click);
    // The status-notifier face of the item while a watcher runs, else null.
    StatusNotifierItem *notifierItem() const { return m_notifierItem.get(); }
    // The embedded icon while no watcher runs, else null.
    QSystemTrayIcon *trayIcon() const { return m_icon; }
    // What a host calls the item: the application's id and the item's own name.
    QString notifierId() const;
    // Whether status-notifier hosts show the exported menu for every click on `platformName`.
    static bool hostShowsMenuOn(const QString &platformName);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followWatcher();
    void exportMenu();
    void updateVisibility();
    void hostClicked(StatusItemClick::Button button, const QPoint &point);
    void showMenuThroughHost();

    std::shared_ptr<StatusNotifierWatch> m_watch;
    QSystemTrayIcon *m_icon = nullptr;
    std::unique_ptr<StatusNotifierItem> m_notifierItem;
    MenuPresenter *m_presenter;
    bool m_hostShowsMenu = false;
    // Where the host last said the icon was clicked.
    std::optional<QPoint> m_lastHostClick;
};

// Makes tray status items on `bus` (the user's session bus by default); installed with
// StatusBar::setShared at start-up.
class TrayStatusBar : public StatusBar {
public:
    // On `platformName`, or the running application's display platform when absent.
    explicit TrayStatusBar(StatusNotifierBus bus = {}, std::optional<QString> platformName = {})
        : m_bus(std::move(bus))
        , m_platformName(std::move(platformName)) {}
    std::shared_ptr<StatusItem> createStatusItem() override;

private:
    StatusNotifierBus m_bus;
    std::optional<QString> m_platformName;
};

} // namespace kestrova::platform::desktop

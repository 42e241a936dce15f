#pragma once

#include "platform/observation/Subscription.h"
#include "platform/status/StatusItem.h"
#include "platform/desktop/tray/StatusNotifierItem.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QProcessEnvironment;

namespace kestrova::platform::desktop {

class MenuPresenter;
class StatusNotifierWatch;
class XEmbedTrayIcon;

// The kind of desktop session the items live in. It is not the display platform Qt runs on: an application
// on XWayland talks X11 in a Wayland session, where a bar's click comes in the bar's own coordinates and
// says nothing of where on the screen the icon is.
enum class DisplaySession { x11, wayland };

// A Wayland display platform, a WAYLAND_DISPLAY or an XDG_SESSION_TYPE of "wayland" in `environment` make a
// Wayland session; `platformName` is the display platform as QGuiApplication names it.
DisplaySession displaySessionOf(const QString &platformName, const QProcessEnvironment &environment);
// The session of the running application.
DisplaySession currentDisplaySession();

// A status item on the desktop's tray. Where a status-notifier watcher runs on the session bus, the item is
// a StatusNotifierItem of our own (a panel that draws the icons itself); otherwise it is an embedded tray
// icon of our own (XEmbedTrayIcon). The item follows the watcher as it comes and goes (a panel restart), and
// registers again with a new one.
//
// A click is reported, and popUpMenu shows our own QMenu (it has the hosted views and the live alternates),
// against the panel it opens from and never over it (popupPositionBesidePanel): from an embedded icon's
// geometry, or from the point a status-notifier host said it was clicked. A menu opened without a click (a
// shortcut) goes where this item, or else a neighbour, was last clicked, and before any click against the
// panel's far end, where trays sit: never at the pointer in the middle of the screen. A status-notifier
// item also exports the menu of the menu provider, rebuilt each time the host opens it: in an X11 session
// the host shows it for its own menu request; in a Wayland session, also for an application on XWayland,
// the item is a menu (ItemIsMenu): a menu of ours would be a window of its own in the middle of the screen
// (Wayland), or placed by the bar's own coordinates far from the icon (XWayland), so the host shows the
// exported menu on every click, and popUpMenu makes no window: it asks the host to show the exported menu
// (ItemActivationRequested on its root), and says once in the log that it did; an embedded icon in an X
// tray on XWayland has a real place, and gets our popup there all the same. The host's Activate is a
// plain left click, its ContextMenu and SecondaryActivate a right click, so the item's click rules see the
// same clicks either way. While one item's menu is open, a press on another icon closes the menu and clicks
// that item at once, where the tray would swallow the press: an embedded icon is found by its geometry, a
// status-notifier icon by the point its host last gave for it, or, when it is the only icon not clicked
// yet, as the one that a press in the same panel away from every clicked icon must be on. The icon is drawn
// at every size a tray asks for (StatusItemImage::kTraySizes); the title names it (tool tip, and the host's
// title). Main thread only.
class TrayStatusItem : public QObject, public DetachedStatusItem {
    Q_OBJECT

public:
    explicit TrayStatusItem(QObject *parent = nullptr);
    explicit TrayStatusItem(const StatusNotifierBus &bus, QObject *parent = nullptr);
    TrayStatusItem(const StatusNotifierBus &bus, DisplaySession session, QObject *parent = nullptr);
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
    // A watcher that no host reads, beside an embedding tray.
    bool isOtherKindOfTrayAvailable() const override;
    bool isGeometryKnown() const override;

    MenuPresenter &presenter() { return *m_presenter; }
    // Reports a click as the tray would (the outside-press hand-over and tests use it).
    void click(const StatusItemClick &click);
    // The status-notifier face of the item while a watcher runs, else null.
    StatusNotifierItem *notifierItem() const { return m_notifierItem.get(); }
    // The embedded icon while no watcher runs, else null.
    XEmbedTrayIcon *trayIcon() const { return m_icon; }
    // What a host calls the item: the application's id and the item's own name.
    QString notifierId() const;

private:
    void followWatcher();
    void exportMenu();
    void updateVisibility();
    // A click that the host reported, or that our open menu took on its way to this item.
    void hostClicked(const StatusItemClick &click);
    // The other item whose icon is at `point`, for a press that our open menu took; null for none.
    TrayStatusItem *itemPressedAt(const QPoint &point) const;
    void showMenuThroughHost();
    // What a menu opened now goes against: the icon, or the point where it was last clicked.
    QRect popupAnchor() const;

    std::shared_ptr<StatusNotifierWatch> m_watch;
    XEmbedTrayIcon *m_icon = nullptr;
    std::unique_ptr<StatusNotifierItem> m_notifierItem;
    MenuPresenter *m_presenter;
    bool m_hostShowsMenu = false;
    // Where the host last said the icon was clicked.
    std::optional<QPoint> m_lastHostClick;
    Subscription m_appearanceSubscription;
};

// Makes tray status items on `bus` (the user's session bus by default); installed with
// StatusBar::setShared at start-up.
class TrayStatusBar : public StatusBar {
public:
    // In `session`, or the running application's session (as it is when the first item is made) when absent.
    explicit TrayStatusBar(StatusNotifierBus bus = {}, std::optional<DisplaySession> session = {})
        : m_bus(std::move(bus))
        , m_session(session) {}
    std::shared_ptr<StatusItem> createStatusItem() override;

private:
    StatusNotifierBus m_bus;
    std::optional<DisplaySession> m_session;
};

} // namespace kestrova::platform::desktop

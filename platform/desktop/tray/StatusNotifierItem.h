#pragma once

#include "platform/status/StatusItemImage.h"

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace kestrova::platform {
class Menu;
} // namespace kestrova::platform

namespace kestrova::platform::desktop {

class DBusMenuExporter;
class StatusNotifierItemAdaptor;

// The session bus that status-notifier items and their watch talk on: the user's own when `address` is
// empty; tests give the address of a private bus.
struct StatusNotifierBus {
    QString address;

    // A connection of its own under `name`, or the shared one when `name` is empty.
    QDBusConnection connect(const QString &name = {}) const;
};

// One picture of an icon as the protocol carries it: ARGB32, not premultiplied, in network byte order.
struct StatusNotifierPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;

    static StatusNotifierPixmap fromImage(const QImage &image);
    QImage toImage() const;

    bool operator==(const StatusNotifierPixmap &) const = default;
};
using StatusNotifierPixmaps = QList<StatusNotifierPixmap>;

// (icon name, icon pixmaps, title, text)
struct StatusNotifierToolTip {
    QString iconName;
    StatusNotifierPixmaps pixmaps;
    QString title;
    QString text;
};

QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierPixmap &pixmap);
const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierPixmap &pixmap);
QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierToolTip &toolTip);
const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierToolTip &toolTip);

// One icon offered to the desktop's status-notifier host. Every item has a bus connection of its own, with
// the name "org.kde.StatusNotifierItem-<pid>-<n>" and the object "/StatusNotifierItem": every watcher
// accepts items named that way (registering a second object path on one connection is understood by only
// some), and closing the connection takes the name and the object off the bus at once, so a removed item
// leaves nothing behind. The host reads the properties when it likes; each change is announced with the
// protocol's change signal. Clicks from the host arrive as signals on a later turn, after the host got its
// answer. Main thread only.
class StatusNotifierItem : public QObject {
    Q_OBJECT

public:
    static constexpr auto kWatcherService = "org.kde.StatusNotifierWatcher";
    static constexpr auto kWatcherPath = "/StatusNotifierWatcher";
    static constexpr auto kItemInterface = "org.kde.StatusNotifierItem";
    static constexpr auto kItemPath = "/StatusNotifierItem";
    static constexpr auto kNoMenuPath = "/NO_DBUSMENU";
    static constexpr auto kMenuPath = "/MenuBar";

    explicit StatusNotifierItem(const StatusNotifierBus &bus, QObject *parent = nullptr);
    ~StatusNotifierItem() override;
    Q_DISABLE_COPY_MOVE(StatusNotifierItem)

    // The item's bus name; empty when the bus could not be reached.
    QString serviceName() const { return m_serviceName; }
    bool isConnected() const;
    // Asks the watcher to show the item (again after the watcher was replaced).
    void registerWithWatcher();

    void setId(const QString &id);
    QString id() const { return m_id; }
    // The title and the tool tip's title.
    void setTitle(const QString &title);
    QString title() const { return m_title; }
    void setImage(const StatusItemImage &image);
    const StatusNotifierPixmaps &iconPixmaps() const { return m_pixmaps; }
    // Active, or Passive for an item that is not to be shown.
    void setActive(bool isActive);
    QString status() const;
    // The object of the exported menu on this item's connection.
    void setMenuPath(const QDBusObjectPath &path);
    QDBusObjectPath menuPath() const { return m_menuPath; }
    // This item's connection, for the objects that go with it (the exported menu).
    std::optional<QDBusConnection> connection() const { return m_connection; }
    // Exports the menu `provider` makes at kMenuPath on this item's connection and names it as the item's
    // menu; without a provider the item has no menu. Hosts read the menu's path once, when the item
    // registers: called before registerWithWatcher.
    void exportMenu(std::function<std::shared_ptr<Menu>()> provider);
    DBusMenuExporter *menuExporter() const { return m_menuExporter.get(); }
    // Whether the host shows the exported menu for a plain click too, instead of asking for Activate.
    void setItemIsMenu(bool isMenu) { m_itemIsMenu = isMenu; }
    bool itemIsMenu() const { return m_itemIsMenu; }

Q_SIGNALS:
    // The host's Activate (a plain click), at the point it gave.
    void activateRequested(const QPoint &point);
    // ContextMenu or SecondaryActivate.
    void secondaryRequested(const QPoint &point);

private:
    friend class StatusNotifierItemAdaptor;

    QString m_connectionName;
    QString m_serviceName;
    std::optional<QDBusConnection> m_connection;
    StatusNotifierItemAdaptor *m_adaptor;
    QString m_id;
    QString m_title;
    StatusNotifierPixmaps m_pixmaps;
    bool m_isActive = true;
    bool m_itemIsMenu = false;
    std::unique_ptr<DBusMenuExporter> m_menuExporter;
    QDBusObjectPath m_menuPath{QString::fromLatin1(kNoMenuPath)};
};

} // namespace kestrova::platform::desktop

Q_DECLARE_METATYPE(kestrova::platform::desktop::StatusNotifierPixmap)
Q_DECLARE_METATYPE(kestrova::platform::desktop::StatusNotifierToolTip)

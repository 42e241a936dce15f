#pragma once

#include "platform/desktop/tray/StatusNotifierItem.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <optional>
#include <vector>

class QDBusServiceWatcher;

namespace kestrova::testing {

class StatusNotifierWatcherAdaptor;

// A panel on a private bus, as tests need one: owns "org.kde.StatusNotifierWatcher" on a connection of its
// own, records the items that register (and forgets those whose name leaves the bus), reads their
// properties, hears their change signals and clicks them the way a host does. Every call waits on the
// event loop (the items live in the same process) with a deadline. stop() and start() again are a panel
// restart. Main thread only.
class StatusNotifierHost : public QObject {
    Q_OBJECT

public:
    struct ItemSignal {
        QString sender; // the item connection's unique name
        QString name;
        QVariantList arguments;
    };

    explicit StatusNotifierHost(QString busAddress, QObject *parent = nullptr);
    ~StatusNotifierHost() override;

    // Takes the watcher's name; `hostRegistered` is what IsStatusNotifierHostRegistered answers.
    bool start(bool hostRegistered = true);
    // Gives the name up and forgets every item, as a panel that quits.
    void stop();
    void setHostRegistered(bool isRegistered);

    // The items registered now, by the service names they gave, in order.
    QStringList registeredItems() const { return m_registered; }
    // Every registration since start(), repeated ones included.
    int registrationCount() const { return m_registrationCount; }

    // Properties.GetAll of the item interface; empty when the item did not answer.
    QVariantMap properties(const QString &service);
    platform::desktop::StatusNotifierPixmaps iconPixmaps(const QString &service);
    std::optional<platform::desktop::StatusNotifierToolTip> toolTip(const QString &service);
    // Calls Activate, ContextMenu or SecondaryActivate with a point; true when the item answered.
    bool click(const QString &service, const QString &method, int x, int y);
    // Calls `method` of `interface` at `path` on the item's connection (its exported menu, say); the reply,
    // or none when the item did not answer or answered with an error.
    std::optional<QDBusMessage> call(const QString &service, const QString &path, const QString &interface,
                                     const QString &method, const QVariantList &arguments);

    // Whether `name` (a service or unique name) is on the bus now.
    bool hasOwner(const QString &name) const;
    QString ownerOf(const QString &service) const;
    // The change signals heard, from any item, in order (and its exported menu's ItemActivationRequested).
    const std::vector<ItemSignal> &itemSignals() const { return m_signals; }
    int signalCount(const QString &sender, const QString &name) const;
    // Forgets the signals heard so far.
    void clearSignals();

private Q_SLOTS:
    void itemSignal(const QDBusMessage &message);

private:
    friend class StatusNotifierWatcherAdaptor;
    void registerItem(const QString &service, const QString &sender);
    std::optional<QDBusMessage> callAndWait(const QDBusMessage &message);

    QString m_busAddress;
    QString m_connectionName;
    std::optional<QDBusConnection> m_connection;
    QObject *m_watcherObject = nullptr;
    StatusNotifierWatcherAdaptor *m_adaptor = nullptr;
    QDBusServiceWatcher *m_itemWatcher = nullptr;
    bool m_isHostRegistered = false;
    QStringList m_registered;
    int m_registrationCount = 0;
    std::vector<ItemSignal> m_signals;
};

} // namespace kestrova::testing

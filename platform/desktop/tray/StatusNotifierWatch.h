#pragma once

#include "platform/desktop/tray/StatusNotifierItem.h"

#include <QObject>
#include <QString>

#include <memory>

class QDBusServiceWatcher;

namespace kestrova::platform::desktop {

// Whether the session bus has a status-notifier watcher and whether a host (a panel that draws the items)
// has registered with it, kept up to date as the watcher comes, goes and is replaced (a panel restart).
// One watch per bus, shared by the items on it. Main thread only.
class StatusNotifierWatch : public QObject {
    Q_OBJECT

public:
    // The watch of `bus`, made on first use and kept while someone holds it.
    static std::shared_ptr<StatusNotifierWatch> forBus(const StatusNotifierBus &bus);

    explicit StatusNotifierWatch(const StatusNotifierBus &bus, QObject *parent = nullptr);
    ~StatusNotifierWatch() override;
    Q_DISABLE_COPY_MOVE(StatusNotifierWatch)

    const StatusNotifierBus &bus() const { return m_bus; }
    bool hasWatcher() const { return !m_watcherOwner.isEmpty(); }
    bool isHostRegistered() const { return hasWatcher() && m_isHostRegistered; }

Q_SIGNALS:
    // The watcher appeared, vanished or was replaced by another process.
    void watcherChanged();
    void hostRegisteredChanged();

private Q_SLOTS:
    // A host registered or went: read the fact again.
    void hostsChanged();

private:
    void ownerChanged(const QString &newOwner);
    void readHostRegistered();
    void setHostRegistered(bool isRegistered);

    StatusNotifierBus m_bus;
    QString m_connectionName;
    QDBusServiceWatcher *m_serviceWatcher = nullptr;
    QString m_watcherOwner;
    bool m_isHostRegistered = false;
};

} // namespace kestrova::platform::desktop

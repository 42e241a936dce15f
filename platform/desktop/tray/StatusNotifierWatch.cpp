#include "platform/desktop/tray/StatusNotifierWatch.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include <map>

namespace kestrova::platform::desktop {

namespace {

std::map<QString, std::weak_ptr<StatusNotifierWatch>> &watches() {
    static std::map<QString, std::weak_ptr<StatusNotifierWatch>> byAddress;
    return byAddress;
}

const QString watcherService() {
    return QString::fromLatin1(StatusNotifierItem::kWatcherService);
}

} // namespace

std::shared_ptr<StatusNotifierWatch> StatusNotifierWatch::forBus(const StatusNotifierBus &bus) {
    auto &known = watches()[bus.address];
    if (auto watch = known.lock())
        return watch;
    auto watch = std::make_shared<StatusNotifierWatch>(bus);
    known = watch;
    return watch;
}

StatusNotifierWatch::StatusNotifierWatch(const StatusNotifierBus &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus) {
    QDBusConnection connection = m_bus.connect();
    if (!connection.isConnected())
        return;
    m_serviceWatcher =
        new QDBusServiceWatcher(watcherService(), connection, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) { ownerChanged(newOwner); });
    for (const char *signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        connection.connect(watcherService(), QString::fromLatin1(StatusNotifierItem::kWatcherPath),
                           watcherService(), QString::fromLatin1(signal), this, SLOT(hostsChanged()));
    // Asked of the bus itself, never of the watcher: the answer cannot wait on a busy panel.
    if (const auto *bus = connection.interface()) {
        const QDBusReply<QString> owner = bus->serviceOwner(watcherService());
        if (owner.isValid())
            m_watcherOwner = owner.value();
    }
    if (hasWatcher())
        readHostRegistered();
}

StatusNotifierWatch::~StatusNotifierWatch() = default;

void StatusNotifierWatch::ownerChanged(const QString &newOwner) {
    if (newOwner == m_watcherOwner)
        return;
    m_watcherOwner = newOwner;
    setHostRegistered(false);
    Q_EMIT watcherChanged();
    if (hasWatcher())
        readHostRegistered();
}

void StatusNotifierWatch::hostsChanged() {
    if (hasWatcher())
        readHostRegistered();
}

void StatusNotifierWatch::readHostRegistered() {
    QDBusMessage message = QDBusMessage::createMethodCall(
        watcherService(), QString::fromLatin1(StatusNotifierItem::kWatcherPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << watcherService() << QStringLiteral("IsStatusNotifierHostRegistered");
    // Not waited for: the watcher may live in a process that is waiting on us.
    auto *pending = new QDBusPendingCallWatcher(m_bus.connect().asyncCall(message), this);
    const QString owner = m_watcherOwner;
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, owner](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        // An answer from a watcher that has gone since says nothing about the one there now.
        if (owner != m_watcherOwner)
            return;
        setHostRegistered(reply.isValid() && reply.value().variant().toBool());
    });
}

void StatusNotifierWatch::setHostRegistered(bool isRegistered) {
    if (isRegistered == m_isHostRegistered)
        return;
    m_isHostRegistered = isRegistered;
    Q_EMIT hostRegisteredChanged();
}

} // namespace kestrova::platform::desktop

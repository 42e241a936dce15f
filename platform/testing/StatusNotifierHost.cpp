#include "platform/testing/StatusNotifierHost.h"

#include "platform/testing/EventLoop.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>

namespace kestrova::testing {

using platform::desktop::StatusNotifierItem;
using platform::desktop::StatusNotifierPixmaps;
using platform::desktop::StatusNotifierToolTip;

// The watcher's face on the bus.
class StatusNotifierWatcherAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    StatusNotifierWatcherAdaptor(QObject *object, StatusNotifierHost *host)
        : QDBusAbstractAdaptor(object)
        , m_host(host) {}

    QStringList registeredItems() const { return m_host->m_registered; }
    bool isHostRegistered() const { return m_host->m_isHostRegistered; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service, const QDBusMessage &message) {
        m_host->registerItem(service, message.service());
    }
    void RegisterStatusNotifierHost(const QString &) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierItemUnregistered(const QString &service);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    StatusNotifierHost *m_host;
};

namespace {

QString itemInterface() {
    return QString::fromLatin1(StatusNotifierItem::kItemInterface);
}

} // namespace

StatusNotifierHost::StatusNotifierHost(QString busAddress, QObject *parent)
    : QObject(parent)
    , m_busAddress(std::move(busAddress)) {}

StatusNotifierHost::~StatusNotifierHost() {
    stop();
}

bool StatusNotifierHost::start(bool hostRegistered) {
    static int starts = 0;
    stop();
    m_isHostRegistered = hostRegistered;
    m_connectionName = QStringLiteral("kestrova-test-status-notifier-host-%1").arg(++starts);
    QDBusConnection connection = QDBusConnection::connectToBus(m_busAddress, m_connectionName);
    if (!connection.isConnected())
        return false;
    m_watcherObject = new QObject(this);
    m_adaptor = new StatusNotifierWatcherAdaptor(m_watcherObject, this);
    m_itemWatcher =
        new QDBusServiceWatcher(QString(), connection, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_itemWatcher, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString &service) {
        m_registered.removeAll(service);
        m_itemWatcher->removeWatchedService(service);
        Q_EMIT m_adaptor->StatusNotifierItemUnregistered(service);
    });
    for (const char *name : {"NewTitle", "NewIcon", "NewToolTip", "NewStatus"})
        connection.connect(QString(), QString::fromLatin1(StatusNotifierItem::kItemPath), itemInterface(),
                           QString::fromLatin1(name), this, SLOT(itemSignal(QDBusMessage)));
    // An item that cannot place its menu itself asks the host to show the exported one.
    connection.connect(QString(), QString::fromLatin1(StatusNotifierItem::kMenuPath),
                       QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("ItemActivationRequested"),
                       this, SLOT(itemSignal(QDBusMessage)));
    if (!connection.registerObject(QString::fromLatin1(StatusNotifierItem::kWatcherPath), m_watcherObject,
                                   QDBusConnection::ExportAdaptors) ||
        !connection.registerService(QString::fromLatin1(StatusNotifierItem::kWatcherService)))
        return false;
    m_connection = connection;
    m_registrationCount = 0;
    return true;
}

void StatusNotifierHost::stop() {
    m_registered.clear();
    delete std::exchange(m_itemWatcher, nullptr);
    delete std::exchange(m_watcherObject, nullptr);
    m_adaptor = nullptr;
    if (!m_connection)
        return;
    m_connection->unregisterService(QString::fromLatin1(StatusNotifierItem::kWatcherService));
    m_connection.reset();
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void StatusNotifierHost::setHostRegistered(bool isRegistered) {
    m_isHostRegistered = isRegistered;
    if (!m_adaptor)
        return;
    if (isRegistered)
        Q_EMIT m_adaptor->StatusNotifierHostRegistered();
    else
        Q_EMIT m_adaptor->StatusNotifierHostUnregistered();
}

void StatusNotifierHost::registerItem(const QString &service, const QString &sender) {
    Q_UNUSED(sender);
    ++m_registrationCount;
    if (m_registered.contains(service))
        return;
    m_registered.append(service);
    m_itemWatcher->addWatchedService(service);
    Q_EMIT m_adaptor->StatusNotifierItemRegistered(service);
}

void StatusNotifierHost::itemSignal(const QDBusMessage &message) {
    m_signals.push_back({message.service(), message.member(), message.arguments()});
}

std::optional<QDBusMessage> StatusNotifierHost::callAndWait(const QDBusMessage &message) {
    if (!m_connection)
        return std::nullopt;
    QDBusPendingCall call = m_connection->asyncCall(message, 5000);
    if (!processEventsUntil([&] { return call.isFinished(); }) || call.isError())
        return std::nullopt;
    return call.reply();
}

QVariantMap StatusNotifierHost::properties(const QString &service) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        service, QString::fromLatin1(StatusNotifierItem::kItemPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    message << itemInterface();
    const auto reply = callAndWait(message);
    if (!reply || reply->arguments().isEmpty())
        return {};
    QVariantMap map;
    reply->arguments().first().value<QDBusArgument>() >> map;
    return map;
}

StatusNotifierPixmaps StatusNotifierHost::iconPixmaps(const QString &service) {
    StatusNotifierPixmaps pixmaps;
    const QVariant value = properties(service).value(QStringLiteral("IconPixmap"));
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> pixmaps;
    return pixmaps;
}

std::optional<StatusNotifierToolTip> StatusNotifierHost::toolTip(const QString &service) {
    const QVariant value = properties(service).value(QStringLiteral("ToolTip"));
    if (!value.canConvert<QDBusArgument>())
        return std::nullopt;
    StatusNotifierToolTip toolTip;
    value.value<QDBusArgument>() >> toolTip;
    return toolTip;
}

bool StatusNotifierHost::click(const QString &service, const QString &method, int x, int y) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        service, QString::fromLatin1(StatusNotifierItem::kItemPath), itemInterface(), method);
    message << x << y;
    const auto reply = callAndWait(message);
    return reply && reply->type() == QDBusMessage::ReplyMessage;
}

std::optional<QDBusMessage> StatusNotifierHost::call(const QString &service, const QString &path,
                                                     const QString &interface, const QString &method,
                                                     const QVariantList &arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return callAndWait(message);
}

bool StatusNotifierHost::hasOwner(const QString &name) const {
    return m_connection && m_connection->interface()->isServiceRegistered(name).value();
}

QString StatusNotifierHost::ownerOf(const QString &service) const {
    return m_connection ? m_connection->interface()->serviceOwner(service).value() : QString();
}

void StatusNotifierHost::clearSignals() {
    m_signals.clear();
}

int StatusNotifierHost::signalCount(const QString &sender, const QString &name) const {
    return int(std::count_if(m_signals.begin(), m_signals.end(), [&](const ItemSignal &signal) {
        return signal.sender == sender && signal.name == name;
    }));
}

} // namespace kestrova::testing

#include "StatusNotifierHost.moc"

#include "platform/desktop/tray/StatusNotifierItem.h"

#include "platform/desktop/tray/StatusNotifierItem_p.h"
#include "platform/desktop/tray/ActivationToken.h"
#include "platform/desktop/menus/DBusStructure_p.h"

#include "platform/desktop/menus/DBusMenuExporter.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QLoggingCategory>
#include <QTimer>
#include <QtEndian>

#include <atomic>

namespace kestrova::platform::desktop {

namespace {

Q_LOGGING_CATEGORY(lcStatusNotifier, "kestrova.platform.statusnotifier")

void registerTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<StatusNotifierPixmap>();
        qDBusRegisterMetaType<StatusNotifierPixmaps>();
        qDBusRegisterMetaType<StatusNotifierToolTip>();
        return true;
    }();
    Q_UNUSED(registered);
}

// Numbers the items of this process, for their bus names.
int nextItemNumber() {
    static std::atomic<int> number{0};
    return ++number;
}

} // namespace

QDBusConnection StatusNotifierBus::connect(const QString &name) const {
    if (address.isEmpty())
        return name.isEmpty() ? QDBusConnection::sessionBus()
                              : QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    return QDBusConnection::connectToBus(address,
                                         name.isEmpty() ? QStringLiteral("kestrova-bus-") + address : name);
}

StatusNotifierPixmap StatusNotifierPixmap::fromImage(const QImage &image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    StatusNotifierPixmap pixmap{argb.width(), argb.height(), {}};
    pixmap.bytes.resize(qsizetype(argb.width()) * argb.height() * 4);
    auto *out = reinterpret_cast<uchar *>(pixmap.bytes.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const quint32 *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x, out += 4)
            qToBigEndian(line[x], out);
    }
    return pixmap;
}

QImage StatusNotifierPixmap::toImage() const {
    if (width <= 0 || height <= 0 || bytes.size() != qsizetype(width) * height * 4)
        return {};
    QImage image(width, height, QImage::Format_ARGB32);
    const auto *in = reinterpret_cast<const uchar *>(bytes.constData());
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < width; ++x, in += 4)
            line[x] = qFromBigEndian<quint32>(in);
    }
    return image;
}

QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierPixmap &pixmap) {
    return writeStructure(argument, pixmap.width, pixmap.height, pixmap.bytes);
}

const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierPixmap &pixmap) {
    return readStructure(argument, pixmap.width, pixmap.height, pixmap.bytes);
}

QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierToolTip &toolTip) {
    return writeStructure(argument, toolTip.iconName, toolTip.pixmaps, toolTip.title, toolTip.text);
}

const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierToolTip &toolTip) {
    return readStructure(argument, toolTip.iconName, toolTip.pixmaps, toolTip.title, toolTip.text);
}

void StatusNotifierItemAdaptor::Activate(int x, int y) {
    // Answered first: the host waits for the reply, and a menu may take a moment to build.
    QTimer::singleShot(0, m_item, [item = m_item, x, y] { Q_EMIT item->activateRequested({x, y}); });
}

void StatusNotifierItemAdaptor::ContextMenu(int x, int y) {
    QTimer::singleShot(0, m_item, [item = m_item, x, y] { Q_EMIT item->secondaryRequested({x, y}); });
}

void StatusNotifierItemAdaptor::SecondaryActivate(int x, int y) {
    ContextMenu(x, y);
}

void StatusNotifierItemAdaptor::ProvideXdgActivationToken(const QString &token) {
    ActivationToken::provide(token);
}

void StatusNotifierItemAdaptor::Scroll(int, const QString &) {
    // Scrolling over an icon means nothing here.
}

StatusNotifierItem::StatusNotifierItem(const StatusNotifierBus &bus, QObject *parent)
    : QObject(parent)
    , m_adaptor(new StatusNotifierItemAdaptor(this)) {
    registerTypes();
    const int number = nextItemNumber();
    m_connectionName = QStringLiteral("kestrova-status-notifier-item-%1").arg(number);
    QDBusConnection connection = bus.connect(m_connectionName);
    if (!connection.isConnected()) {
        qCWarning(lcStatusNotifier) << "no session bus for a status notifier item:"
                                    << connection.lastError().message();
        QDBusConnection::disconnectFromBus(m_connectionName);
        return;
    }
    const QString serviceName = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                                    .arg(QCoreApplication::applicationPid())
                                    .arg(number);
    if (!connection.registerObject(QString::fromLatin1(kItemPath), this, QDBusConnection::ExportAdaptors) ||
        !connection.registerService(serviceName)) {
        qCWarning(lcStatusNotifier) << "could not put a status notifier item on the bus:"
                                    << connection.lastError().message();
        connection = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(m_connectionName);
        return;
    }
    m_connection = connection;
    m_serviceName = serviceName;
}

StatusNotifierItem::~StatusNotifierItem() {
    // Off the connection before the connection closes.
    m_menuExporter.reset();
    if (!m_connection)
        return;
    m_connection->unregisterService(m_serviceName);
    m_connection->unregisterObject(QString::fromLatin1(kItemPath));
    // The last handle closes the connection, and the bus drops every name it held.
    m_connection.reset();
    QDBusConnection::disconnectFromBus(m_connectionName);
}

bool StatusNotifierItem::isConnected() const {
    return m_connection && m_connection->isConnected();
}

void StatusNotifierItem::registerWithWatcher() {
    if (!isConnected())
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath),
        QString::fromLatin1(kWatcherService), QStringLiteral("RegisterStatusNotifierItem"));
    message << m_serviceName;
    // Never waited for: a watcher that answers late must not stall the menus.
    m_connection->call(message, QDBus::NoBlock);
}

void StatusNotifierItem::setId(const QString &id) {
    // Hosts read the id once, when the item registers: there is no signal for it.
    m_id = id;
}

void StatusNotifierItem::setTitle(const QString &title) {
    if (title == m_title)
        return;
    m_title = title;
    Q_EMIT m_adaptor->NewTitle();
    Q_EMIT m_adaptor->NewToolTip();
}

void StatusNotifierItem::setImage(const StatusItemImage &image) {
    StatusNotifierPixmaps pixmaps;
    if (!image.isNull()) {
        for (const int size : StatusItemImage::kTraySizes)
            pixmaps.append(StatusNotifierPixmap::fromImage(image.render(size)));
    }
    // Every update of the item redraws it; the host is told only of real changes.
    if (pixmaps == m_pixmaps)
        return;
    m_pixmaps = std::move(pixmaps);
    Q_EMIT m_adaptor->NewIcon();
}

void StatusNotifierItem::setActive(bool isActive) {
    if (isActive == m_isActive)
        return;
    m_isActive = isActive;
    Q_EMIT m_adaptor->NewStatus(status());
}

QString StatusNotifierItem::status() const {
    return m_isActive ? QStringLiteral("Active") : QStringLiteral("Passive");
}

void StatusNotifierItem::exportMenu(std::function<std::shared_ptr<Menu>()> provider) {
    m_menuExporter.reset();
    if (!provider || !isConnected()) {
        setMenuPath({});
        return;
    }
    m_menuExporter = std::make_unique<DBusMenuExporter>(*m_connection, QString::fromLatin1(kMenuPath),
                                                        DBusMenuExporter::RootProvider(std::move(provider)));
    setMenuPath(m_menuExporter->isRegistered() ? QDBusObjectPath(m_menuExporter->objectPath())
                                               : QDBusObjectPath());
}

void StatusNotifierItem::setMenuPath(const QDBusObjectPath &path) {
    m_menuPath = path.path().isEmpty() ? QDBusObjectPath(QString::fromLatin1(kNoMenuPath)) : path;
}

} // namespace kestrova::platform::desktop

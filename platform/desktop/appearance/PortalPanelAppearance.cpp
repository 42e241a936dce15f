#include "platform/desktop/appearance/PortalPanelAppearance.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace kestrova::platform::desktop {

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
// A portal that hangs must not hold the icon's colour back for long: the palette stands in meanwhile.
constexpr int kReadTimeoutMs = 2000;
} // namespace

// Receives the portal's signal and the answer to the first read on the main thread.
class PortalSettingListener : public QObject {
    Q_OBJECT

public:
    explicit PortalSettingListener(std::function<void(const QVariant &)> changed)
        : m_changed(std::move(changed)) {}

public Q_SLOTS:
    // Taken as a whole message: a portal that sends other arguments is passed over, not refused by the bus.
    void settingChanged(const QDBusMessage &message) {
        const QList<QVariant> arguments = message.arguments();
        if (arguments.size() == 3 &&
            arguments[0].toString() == QLatin1String(PortalPanelAppearance::kNamespace) &&
            arguments[1].toString() == QLatin1String(PortalPanelAppearance::kKey))
            m_changed(arguments[2]);
    }

private:
    std::function<void(const QVariant &)> m_changed;
};

std::shared_ptr<PortalPanelAppearance> PortalPanelAppearance::create(const QDBusConnection &bus) {
    return std::shared_ptr<PortalPanelAppearance>(new PortalPanelAppearance(bus));
}

PortalPanelAppearance::PortalPanelAppearance(const QDBusConnection &bus)
    : m_bus(bus)
    , m_listener(
          std::make_unique<PortalSettingListener>([this](const QVariant &value) { readValue(value); })) {
    if (!m_bus.isConnected()) {
        m_hasRead = true;
        return;
    }
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), m_listener.get(),
                  SLOT(settingChanged(QDBusMessage)));
    QDBusMessage read = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    read << QString::fromLatin1(kNamespace) << QString::fromLatin1(kKey);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(read, kReadTimeoutMs), m_listener.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, m_listener.get(),
                     [this](QDBusPendingCallWatcher *call) {
                         call->deleteLater();
                         m_hasRead = true;
                         const QDBusPendingReply<QDBusVariant> reply = *call;
                         // No portal, or one without the setting: the palette keeps deciding.
                         if (!reply.isError())
                             readValue(reply.value().variant());
                     });
}

PortalPanelAppearance::~PortalPanelAppearance() {
    if (m_bus.isConnected()) {
        m_bus.disconnect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), m_listener.get(),
                         SLOT(settingChanged(QDBusMessage)));
    }
}

std::optional<uint> PortalPanelAppearance::colorSchemeFromValue(const QVariant &value) {
    QVariant unwrapped = value;
    // Older portals answer Read with the value wrapped once more; a hostile one might nest deeper.
    for (int depth = 0; depth < 4; ++depth) {
        if (unwrapped.userType() == qMetaTypeId<QDBusVariant>())
            unwrapped = qvariant_cast<QDBusVariant>(unwrapped).variant();
        else if (unwrapped.userType() == qMetaTypeId<QDBusArgument>()) {
            QDBusVariant inner;
            qvariant_cast<QDBusArgument>(unwrapped) >> inner;
            unwrapped = inner.variant();
        } else
            break;
    }
    if (unwrapped.userType() != QMetaType::UInt && unwrapped.userType() != QMetaType::Int)
        return std::nullopt;
    return unwrapped.toUInt();
}

std::optional<SymbolImage::Appearance> PortalPanelAppearance::appearanceForColorScheme(uint scheme) {
    switch (scheme) {
    case 1:
        return SymbolImage::Appearance::dark;
    case 2:
        return SymbolImage::Appearance::light;
    default:
        return std::nullopt;
    }
}

void PortalPanelAppearance::readValue(const QVariant &value) {
    if (const std::optional<uint> scheme = colorSchemeFromValue(value))
        setPreference(appearanceForColorScheme(*scheme));
}

void PortalPanelAppearance::setPreference(std::optional<SymbolImage::Appearance> preference) {
    if (preference == m_preference)
        return;
    m_preference = preference;
    notifyChange();
}

} // namespace kestrova::platform::desktop

#include "PortalPanelAppearance.moc"

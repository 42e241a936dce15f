#include "HotKeyPortalBackend.h"

#include "platform/desktop/menus/DBusStructure_p.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QLoggingCategory>
#include <QTimer>

#include <xkbcommon/xkbcommon.h>

namespace {

// One shortcut as the portal takes and gives it: an id and its properties.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace {

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut) {
    return kestrova::platform::desktop::writeStructure(argument, shortcut.id, shortcut.properties);
}
const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut) {
    return kestrova::platform::desktop::readStructure(argument, shortcut.id, shortcut.properties);
}

} // namespace

namespace kestrova::platform::desktop {

namespace {

Q_LOGGING_CATEGORY(lcPortal, "kestrova.hotkeys")

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

void registerTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        return true;
    }();
    Q_UNUSED(registered);
}

} // namespace

std::unique_ptr<HotKeyPortalBackend> HotKeyPortalBackend::create(QDBusConnection connection) {
    if (!connection.isConnected())
        return nullptr;
    registerTypes();
    // A portal without a backend for global shortcuts (GNOME's) has no such interface.
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({kInterface, QStringLiteral("version")});
    const QDBusMessage reply = connection.call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCInfo(lcPortal, "no desktop portal for global shortcuts: %s", qPrintable(reply.errorMessage()));
        return nullptr;
    }
    return std::unique_ptr<HotKeyPortalBackend>(new HotKeyPortalBackend(std::move(connection)));
}

HotKeyPortalBackend::HotKeyPortalBackend(QDBusConnection connection)
    : m_connection(std::move(connection)) {
    m_connection.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                         SLOT(activated(QDBusMessage)));
    m_connection.connect(kService, kPath, kInterface, QStringLiteral("Deactivated"), this,
                         SLOT(activated(QDBusMessage)));
    m_connection.connect(kService, kPath, kInterface, QStringLiteral("ShortcutsChanged"), this,
                         SLOT(shortcutsChanged(QDBusMessage)));
    request(QStringLiteral("CreateSession"),
            {QVariantMap{{QStringLiteral("session_handle_token"), QStringLiteral("kestrova")}}},
            SLOT(sessionCreated(uint, QVariantMap)));
}

HotKeyPortalBackend::~HotKeyPortalBackend() {
    // Without the application the bus connection is being torn down: the desktop closes the session
    // when the connection goes.
    if (QCoreApplication::instance())
        releaseAll();
}

void HotKeyPortalBackend::request(const QString &method, QVariantList arguments, const char *slot) {
    const QString token = QStringLiteral("kestrova%1").arg(++m_nextToken);
    QString sender = m_connection.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    m_connection.connect(kService, path, kRequestInterface, QStringLiteral("Response"), this, slot);
    QVariantMap options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    m_connection.asyncCall(call);
}

void HotKeyPortalBackend::sessionCreated(uint code, const QVariantMap &results) {
    if (!m_session.isEmpty())
        return;
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    m_session =
        handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path() : handle.toString();
    if (code != 0 || m_session.isEmpty()) {
        m_session.clear();
        qCInfo(lcPortal, "the desktop portal did not open a shortcut session (response %u)", code);
        return;
    }
    bind();
}

void HotKeyPortalBackend::queueBind() {
    if (m_isBindQueued)
        return;
    m_isBindQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_isBindQueued = false;
        bind();
    });
}

void HotKeyPortalBackend::bind() {
    if (m_session.isEmpty() || m_wanted == m_bound)
        return;
    QList<PortalShortcut> shortcuts;
    for (const auto &[name, bound] : m_wanted) {
        shortcuts.append({name,
                          {{QStringLiteral("description"), bound.description},
                           {QStringLiteral("preferred_trigger"), bound.trigger}}});
    }
    m_bound = m_wanted;
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts), QString(),
             QVariantMap()},
            SLOT(shortcutsBound(uint, QVariantMap)));
}

void HotKeyPortalBackend::shortcutsBound(uint code, const QVariantMap &results) {
    if (code != 0) {
        qCInfo(lcPortal, "the desktop did not bind the shortcuts (response %u)", code);
        return;
    }
    readAssigned(results.value(QStringLiteral("shortcuts")));
}

void HotKeyPortalBackend::readAssigned(const QVariant &value) {
    QList<PortalShortcut> shortcuts;
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> shortcuts;
    else
        shortcuts = value.value<QList<PortalShortcut>>();
    bool changed = false;
    for (const PortalShortcut &shortcut : shortcuts) {
        const QString trigger = shortcut.properties.value(QStringLiteral("trigger_description")).toString();
        if (!m_wanted.contains(shortcut.id) || trigger.isEmpty() || m_assigned[shortcut.id] == trigger)
            continue;
        m_assigned[shortcut.id] = trigger;
        changed = true;
    }
    if (changed)
        assignedTriggersChanged();
}

void HotKeyPortalBackend::shortcutsChanged(const QDBusMessage &signal) {
    // (o session, a(sa{sv}) shortcuts): the user chose other keys in the desktop's settings.
    const QList<QVariant> arguments = signal.arguments();
    if (arguments.size() < 2 || arguments.at(0).value<QDBusObjectPath>().path() != m_session)
        return;
    readAssigned(arguments.at(1));
}

bool HotKeyPortalBackend::grab(std::uint32_t id, HotKeyChord chord, const HotKeyLabel &label) {
    const QString trigger = triggerText(chord);
    if (trigger.isEmpty())
        return false;
    HotKeyLabel named = label;
    if (named.name.isEmpty())
        named.name = QString::number(id);
    const Bound wanted{trigger, named.description.isEmpty() ? named.name : named.description};
    m_grabs[id] = named;
    const auto found = m_wanted.find(named.name);
    if (found != m_wanted.end() && found->second == wanted)
        return true;
    m_wanted[named.name] = wanted;
    m_assigned.erase(named.name);
    queueBind();
    return true;
}

void HotKeyPortalBackend::release(std::uint32_t id) {
    m_grabs.erase(id);
}

void HotKeyPortalBackend::forget(const QString &name) {
    for (const auto &[id, label] : m_grabs) {
        if (label.name == name)
            return;
    }
    if (m_wanted.erase(name) == 0)
        return;
    m_assigned.erase(name);
    queueBind();
}

void HotKeyPortalBackend::releaseAll() {
    m_grabs.clear();
    m_wanted.clear();
    m_bound.clear();
    m_assigned.clear();
    if (m_session.isEmpty())
        return;
    // Waited for: the next instance opens its own session as soon as this returns.
    m_connection.call(QDBusMessage::createMethodCall(kService, m_session,
                                                     QStringLiteral("org.freedesktop.portal.Session"),
                                                     QStringLiteral("Close")),
                      QDBus::Block, 2000);
    m_session.clear();
}

std::optional<QString> HotKeyPortalBackend::assignedTrigger(std::uint32_t id) const {
    const auto grab = m_grabs.find(id);
    if (grab == m_grabs.end())
        return std::nullopt;
    const auto found = m_assigned.find(grab->second.name);
    return found == m_assigned.end() ? std::nullopt : std::optional(found->second);
}

void HotKeyPortalBackend::activated(const QDBusMessage &signal) {
    // (o session, s id, t timestamp, a{sv} options)
    const QList<QVariant> arguments = signal.arguments();
    if (arguments.size() < 2 || arguments.at(0).value<QDBusObjectPath>().path() != m_session)
        return;
    const QString name = arguments.at(1).toString();
    for (const auto &[id, label] : m_grabs) {
        if (label.name != name)
            continue;
        deliver(id, signal.member() == QStringLiteral("Activated"));
        return;
    }
}

QString HotKeyPortalBackend::triggerText(HotKeyChord chord) {
    // Key names as the "us" layout names them without modifiers: the desktop maps them to its own layout.
    static const auto keymap = [] {
        xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
        xkb_keymap *map =
            context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
        if (context)
            xkb_context_unref(context);
        return map;
    }();
    if (!keymap)
        return {};
    const xkb_keysym_t *syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, chord.keyCode, 0, 0, &syms) < 1)
        return {};
    char name[64] = {};
    if (xkb_keysym_get_name(syms[0], name, sizeof name) <= 0)
        return {};
    QString text;
    if (chord.modifiers & HotKeyChord::controlMask)
        text += QStringLiteral("CTRL+");
    if (chord.modifiers & HotKeyChord::altMask)
        text += QStringLiteral("ALT+");
    if (chord.modifiers & HotKeyChord::shiftMask)
        text += QStringLiteral("SHIFT+");
    if (chord.modifiers & HotKeyChord::superMask)
        text += QStringLiteral("LOGO+");
    return text + QString::fromLatin1(name);
}

} // namespace kestrova::platform::desktop

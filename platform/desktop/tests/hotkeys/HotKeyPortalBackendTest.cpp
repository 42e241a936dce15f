#include "platform/desktop/hotkeys/HotKeyPortalBackend.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/PrivateSessionBus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QThread>

#include <gtest/gtest.h>

#include <mutex>

using kestrova::platform::desktop::HotKeyChord;
using kestrova::platform::desktop::HotKeyPortalBackend;
using kestrova::testing::processEventsUntil;

// One shortcut as the portal's clients send it.
struct Shortcut {
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(Shortcut)

QDBusArgument &operator<<(QDBusArgument &argument, const Shortcut &shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}
const QDBusArgument &operator>>(const QDBusArgument &argument, Shortcut &shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// The desktop's shortcut portal as a desktop with a shortcut backend serves it: sessions, binding (the
// desktop gives the trigger it chooses, here its own text for the preferred one) and closing. Answers
// from a thread of its own, so that the backend may wait for it.
class FakeShortcutPortal : public QDBusVirtualObject {
public:
    explicit FakeShortcutPortal(QDBusConnection connection)
        : m_connection(std::move(connection)) {}

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        std::lock_guard hold(m_lock);
        const QString member = message.member();
        if (member == QStringLiteral("Get")) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(1)))));
            return true;
        }
        if (member == QStringLiteral("Close")) {
            closed.append(message.path());
            connection.send(message.createReply());
            return true;
        }
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().constLast());
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString request =
            QStringLiteral("%1/request/%2/%3")
                .arg(kPath, sender, options.value(QStringLiteral("handle_token")).toString());
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QVariantMap results;
        if (member == QStringLiteral("CreateSession")) {
            session =
                QStringLiteral("%1/session/%2/%3")
                    .arg(kPath, sender, options.value(QStringLiteral("session_handle_token")).toString());
            results.insert(QStringLiteral("session_handle"), session);
        } else if (member == QStringLiteral("BindShortcuts")) {
            const auto shortcuts = qdbus_cast<QList<Shortcut>>(message.arguments().at(1));
            bound.clear();
            ++binds;
            QList<Shortcut> assigned;
            for (const Shortcut &shortcut : shortcuts) {
                const QString preferred =
                    shortcut.properties.value(QStringLiteral("preferred_trigger")).toString();
                bound.append({shortcut.id, preferred});
                descriptions[shortcut.id] =
                    shortcut.properties.value(QStringLiteral("description")).toString();
                assigned.append(
                    {shortcut.id,
                     {{QStringLiteral("trigger_description"), QStringLiteral("Desktop ") + preferred}}});
            }
            results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(assigned));
        }
        QDBusMessage response = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response.setArguments({uint(0), results});
        connection.send(response);
        return true;
    }

    void press(const QString &id, bool isPress) {
        QDBusMessage signal = QDBusMessage::createSignal(
            kPath, kInterface, isPress ? QStringLiteral("Activated") : QStringLiteral("Deactivated"));
        signal.setArguments(
            {QVariant::fromValue(QDBusObjectPath(currentSession())), id, qulonglong(0), QVariantMap()});
        m_connection.send(signal);
    }
    QString currentSession() {
        std::lock_guard hold(m_lock);
        return session;
    }
    QList<std::pair<QString, QString>> boundShortcuts() {
        std::lock_guard hold(m_lock);
        return bound;
    }
    QStringList closedSessions() {
        std::lock_guard hold(m_lock);
        return closed;
    }
    int bindCount() {
        std::lock_guard hold(m_lock);
        return binds;
    }
    // What the desktop says after the user gave a shortcut other keys in its own settings.
    void changeTrigger(const QString &id, const QString &trigger) {
        QDBusMessage signal =
            QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("ShortcutsChanged"));
        const QList<Shortcut> changed{{id, {{QStringLiteral("trigger_description"), trigger}}}};
        signal.setArguments(
            {QVariant::fromValue(QDBusObjectPath(currentSession())), QVariant::fromValue(changed)});
        m_connection.send(signal);
    }
    QString description(const QString &id) {
        std::lock_guard hold(m_lock);
        return descriptions.value(id);
    }

private:
    QDBusConnection m_connection;
    std::mutex m_lock;
    QString session;
    QList<std::pair<QString, QString>> bound;
    QStringList closed;
    int binds = 0;
    QMap<QString, QString> descriptions;
};

class HotKeyPortalBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        qDBusRegisterMetaType<Shortcut>();
        qDBusRegisterMetaType<QList<Shortcut>>();
        ASSERT_FALSE(m_bus.address().isEmpty()) << "dbus-daemon did not start";
        m_desktop = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("portal"));
        m_application = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("application"));
        ASSERT_TRUE(m_desktop.isConnected() && m_application.isConnected());
    }
    void TearDown() override {
        m_desktop.unregisterObject(kPath, QDBusConnection::UnregisterTree);
        m_thread.quit();
        m_thread.wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        QDBusConnection::disconnectFromBus(QStringLiteral("application"));
    }
    void servePortal() {
        m_portal = std::make_unique<FakeShortcutPortal>(m_desktop);
        ASSERT_TRUE(m_desktop.registerVirtualObject(kPath, m_portal.get(), QDBusConnection::SubPath));
        m_portal->moveToThread(&m_thread);
        m_thread.start();
        ASSERT_TRUE(m_desktop.registerService(kService));
    }

    kestrova::testing::PrivateSessionBus m_bus;
    QDBusConnection m_desktop{QString()};
    QDBusConnection m_application{QString()};
    QThread m_thread;
    std::unique_ptr<FakeShortcutPortal> m_portal;
};

} // namespace

TEST_F(HotKeyPortalBackendTest, WithoutAPortalEveryHotKeyIsRefused) {
    EXPECT_EQ(HotKeyPortalBackend::create(m_application), nullptr);
}

TEST_F(HotKeyPortalBackendTest, BindsEachNameOncePerChangeAndTurnsActivationsIntoPresses) {
    servePortal();
    auto backend = HotKeyPortalBackend::create(m_application);
    ASSERT_NE(backend, nullptr);
    std::vector<std::pair<std::uint32_t, bool>> events;
    backend->setHandler([&](std::uint32_t id, bool isPress) { events.emplace_back(id, isPress); });
    const QString documents = QStringLiteral("6F1C2D3E-0000-4000-8000-000000000001");
    const HotKeyChord controlAltK{45, HotKeyChord::controlMask | HotKeyChord::altMask};
    const HotKeyChord superSpace{65, HotKeyChord::superMask};

    // Grabbed before the session is open: bound once it is, under the names, with what they do.
    EXPECT_TRUE(backend->grab(3, controlAltK, {documents, QStringLiteral("Open the menu of Documents")}));
    ASSERT_TRUE(processEventsUntil([&] { return backend->hasSession(); }));
    EXPECT_TRUE(
        backend->grab(4, superSpace, {QStringLiteral("toggleMenu"), QStringLiteral("Open the menu")}));
    using Bound = QList<std::pair<QString, QString>>;
    ASSERT_TRUE(processEventsUntil([&] { return m_portal->boundShortcuts().size() == 2; }));
    EXPECT_EQ(m_portal->boundShortcuts(),
              (Bound{{documents, QStringLiteral("CTRL+ALT+k")},
                     {QStringLiteral("toggleMenu"), QStringLiteral("LOGO+space")}}));
    EXPECT_EQ(m_portal->description(documents), QStringLiteral("Open the menu of Documents"));
    EXPECT_EQ(m_portal->bindCount(), 2);
    // What the desktop gave is what shows.
    ASSERT_TRUE(processEventsUntil([&] { return backend->assignedTrigger(4).has_value(); }));
    EXPECT_EQ(backend->assignedTrigger(4), QStringLiteral("Desktop LOGO+space"));
    EXPECT_EQ(backend->assignedTrigger(3), QStringLiteral("Desktop CTRL+ALT+k"));

    m_portal->press(QStringLiteral("toggleMenu"), true);
    m_portal->press(QStringLiteral("toggleMenu"), false);
    ASSERT_TRUE(processEventsUntil([&] { return events.size() == 2; }));
    EXPECT_EQ(events, (std::vector<std::pair<std::uint32_t, bool>>{{4, true}, {4, false}}));

    // A menu opens and closes: every hot key goes down and comes back under new identifiers. The desktop
    // keeps them bound (the user's choice of keys stays with the name) and is not asked again; while down,
    // an activation runs nothing.
    backend->release(3);
    backend->release(4);
    EXPECT_TRUE(backend->grab(5, controlAltK, {documents, QStringLiteral("Open the menu of Documents")}));
    // The signals come in order: the first finds its name down.
    m_portal->press(QStringLiteral("toggleMenu"), true);
    m_portal->press(documents, true);
    ASSERT_TRUE(processEventsUntil([&] { return events.size() == 3; }));
    EXPECT_EQ(events.back(), (std::pair<std::uint32_t, bool>{5, true}));
    EXPECT_TRUE(
        backend->grab(6, superSpace, {QStringLiteral("toggleMenu"), QStringLiteral("Open the menu")}));
    EXPECT_EQ(backend->assignedTrigger(5), QStringLiteral("Desktop CTRL+ALT+k"));

    // A new chord for one name replaces it under the same id; a cleared one is unbound: one bind each.
    EXPECT_TRUE(backend->grab(6, HotKeyChord{65, HotKeyChord::controlMask},
                              {QStringLiteral("toggleMenu"), QStringLiteral("Open the menu")}));
    ASSERT_TRUE(processEventsUntil([&] { return m_portal->bindCount() == 3; }));
    EXPECT_EQ(m_portal->boundShortcuts(),
              (Bound{{documents, QStringLiteral("CTRL+ALT+k")},
                     {QStringLiteral("toggleMenu"), QStringLiteral("CTRL+space")}}));
    backend->release(5);
    backend->forget(documents);
    ASSERT_TRUE(processEventsUntil([&] { return m_portal->bindCount() == 4; }));
    EXPECT_EQ(m_portal->boundShortcuts(),
              (Bound{{QStringLiteral("toggleMenu"), QStringLiteral("CTRL+space")}}));

    // Before a relaunch the session is closed, and waited for.
    const QString session = m_portal->currentSession();
    backend->releaseAll();
    EXPECT_EQ(m_portal->closedSessions(), QStringList{session});
    EXPECT_FALSE(backend->hasSession());
    EXPECT_EQ(m_portal->bindCount(), 4);
}

TEST_F(HotKeyPortalBackendTest, TellsWhenTheDesktopAssignsOrTheUserChangesTheKeys) {
    servePortal();
    auto backend = HotKeyPortalBackend::create(m_application);
    ASSERT_NE(backend, nullptr);
    int told = 0;
    backend->setAssignedTriggersObserver([&] { ++told; });
    const HotKeyChord controlAltK{45, HotKeyChord::controlMask | HotKeyChord::altMask};
    EXPECT_TRUE(
        backend->grab(1, controlAltK, {QStringLiteral("toggleMenu"), QStringLiteral("Open the menu")}));
    ASSERT_TRUE(processEventsUntil([&] { return told == 1; }));
    EXPECT_EQ(backend->assignedTrigger(1), QStringLiteral("Desktop CTRL+ALT+k"));

    m_portal->changeTrigger(QStringLiteral("toggleMenu"), QStringLiteral("Super+J"));
    ASSERT_TRUE(processEventsUntil([&] { return told == 2; }));
    EXPECT_EQ(backend->assignedTrigger(1), QStringLiteral("Super+J"));
    // The same keys again, or a name this application never bound, change nothing.
    m_portal->changeTrigger(QStringLiteral("toggleMenu"), QStringLiteral("Super+J"));
    m_portal->changeTrigger(QStringLiteral("unknown"), QStringLiteral("Super+K"));
    m_portal->changeTrigger(QStringLiteral("toggleMenu"), QStringLiteral("Super+L"));
    ASSERT_TRUE(processEventsUntil([&] { return told == 3; }));
    EXPECT_EQ(backend->assignedTrigger(1), QStringLiteral("Super+L"));
}

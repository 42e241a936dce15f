// The desktop's light or dark look read from a portal on a bus of the test's own.
#include "platform/desktop/appearance/PortalPanelAppearance.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/PrivateSessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <gtest/gtest.h>

using kestrova::platform::SymbolImage;
using kestrova::platform::desktop::PortalPanelAppearance;
using kestrova::testing::processEventsUntil;

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");

// The settings part of a desktop portal: answers Read as older portals do (the value wrapped twice).
class FakeSettingsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    QVariant colorScheme = QVariant::fromValue(1u);
    int reads = 0;

public Q_SLOTS:
    QDBusVariant Read(const QString &settingNamespace, const QString &key) {
        ++reads;
        if (settingNamespace != QLatin1String("org.freedesktop.appearance") ||
            key != QLatin1String("color-scheme"))
            return QDBusVariant(QVariant());
        return QDBusVariant(QVariant::fromValue(QDBusVariant(colorScheme)));
    }
};

void announce(const QDBusConnection &bus, const QString &settingNamespace, const QVariant &value) {
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("SettingChanged"));
    signal << settingNamespace << QStringLiteral("color-scheme") << QVariant::fromValue(QDBusVariant(value));
    bus.send(signal);
}

class PortalPanelAppearanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_bus.address().isEmpty());
        m_desktop = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("portal"));
        m_application = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("application"));
        ASSERT_TRUE(m_desktop.isConnected() && m_application.isConnected());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        QDBusConnection::disconnectFromBus(QStringLiteral("application"));
    }
    void startPortal() {
        ASSERT_TRUE(m_desktop.registerObject(kPath, &m_portal, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(m_desktop.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }

    kestrova::testing::PrivateSessionBus m_bus;
    QDBusConnection m_desktop{QString()};
    QDBusConnection m_application{QString()};
    FakeSettingsPortal m_portal;
};

} // namespace

TEST_F(PortalPanelAppearanceTest, FollowsThePortalsColourSchemeAndItsChanges) {
    startPortal();
    const auto appearance = PortalPanelAppearance::create(m_application);
    int changes = 0;
    const auto subscription = appearance->observe([&] { ++changes; });
    ASSERT_TRUE(processEventsUntil(
        [&] { return appearance->preferredAppearance() == SymbolImage::Appearance::dark; }));
    EXPECT_EQ(appearance->appearance(), SymbolImage::Appearance::dark);
    EXPECT_EQ(changes, 1);

    announce(m_desktop, QStringLiteral("org.freedesktop.appearance"), QVariant::fromValue(2u));
    ASSERT_TRUE(processEventsUntil(
        [&] { return appearance->preferredAppearance() == SymbolImage::Appearance::light; }));
    EXPECT_EQ(changes, 2);
    // Another namespace's setting, or a value of the wrong kind, says nothing about the look.
    announce(m_desktop, QStringLiteral("org.gnome.desktop.interface"), QVariant::fromValue(1u));
    announce(m_desktop, QStringLiteral("org.freedesktop.appearance"), QVariant(QStringLiteral("dark")));
    announce(m_desktop, QStringLiteral("org.freedesktop.appearance"), QVariant::fromValue(0u));
    // No preference: the palette decides again.
    ASSERT_TRUE(processEventsUntil([&] { return !appearance->preferredAppearance().has_value(); }));
    EXPECT_EQ(appearance->appearance(), kestrova::platform::PanelAppearance::paletteAppearance());
    EXPECT_EQ(changes, 3);
}

TEST_F(PortalPanelAppearanceTest, WithoutAPortalThePaletteDecides) {
    const auto appearance = PortalPanelAppearance::create(m_application);
    // The read fails (no such service); the look stays the palette's.
    ASSERT_TRUE(processEventsUntil([&] { return appearance->hasReadPreference(); }));
    EXPECT_EQ(appearance->preferredAppearance(), std::nullopt);
    EXPECT_EQ(appearance->appearance(), kestrova::platform::PanelAppearance::paletteAppearance());
    // Values wrapped any number of times up to a bound are read; the scheme's meaning is fixed.
    EXPECT_EQ(PortalPanelAppearance::colorSchemeFromValue(
                  QVariant::fromValue(QDBusVariant(QVariant::fromValue(1u)))),
              1u);
    EXPECT_EQ(PortalPanelAppearance::colorSchemeFromValue(QVariant(QStringLiteral("1"))), std::nullopt);
    EXPECT_EQ(PortalPanelAppearance::appearanceForColorScheme(7), std::nullopt);
}

#include "PortalPanelAppearanceTest.moc"

#include "foundation/app/KvApp.h"
#include "foundation/app/SystemInfo.h"
#include "platform/testing/InMemorySuite.h"

#include <gtest/gtest.h>

using namespace kestrova;

TEST(SystemInfoTest, ReadsTheSystemsTexts) {
    EXPECT_EQ(SystemInfo::osVersionFromRelease(QStringLiteral("6.1.0-18-amd64")), QStringLiteral("6.1.0"));
    EXPECT_EQ(SystemInfo::osVersionFromRelease(QStringLiteral("5.15")), QStringLiteral("5.15.0"));
    EXPECT_EQ(SystemInfo::osVersionFromRelease(QString()), QStringLiteral("0.0.0"));

    const auto release =
        SystemInfo::parseOsRelease("# comment\nNAME=\"Debian GNU/Linux\"\nVERSION_ID='12'\nBAD\n");
    EXPECT_EQ(release.at(QStringLiteral("NAME")), QStringLiteral("Debian GNU/Linux"));
    EXPECT_EQ(release.at(QStringLiteral("VERSION_ID")), QStringLiteral("12"));
    EXPECT_EQ(release.size(), 2U);

    EXPECT_EQ(SystemInfo::hardwareModelFromBytes(QByteArray("Raspberry Pi 4", 14) + '\0'),
              QStringLiteral("Raspberry Pi 4"));
    EXPECT_EQ(SystemInfo::hardwareModelFromBytes(QByteArray("\xff\xfe", 2)),
              QStringLiteral("<Unknown model>"));
    EXPECT_EQ(SystemInfo::hardwareModelFromBytes(std::nullopt), QStringLiteral("<Unknown model>"));

    EXPECT_EQ(SystemInfo::machineArchitectureFromBytes("\tx86_64\n"), QStringLiteral("x86_64"));
    EXPECT_EQ(SystemInfo::machineArchitectureFromBytes("arm\xe4"), QStringLiteral("unknown"));

    QProcessEnvironment environment;
    EXPECT_FALSE(SystemInfo::isSandboxed(environment, false));
    environment.insert(QStringLiteral("FLATPAK_ID"), QString());
    EXPECT_TRUE(SystemInfo::isSandboxed(environment, false));
    EXPECT_TRUE(SystemInfo::isSandboxed(QProcessEnvironment(), true));
}

TEST(SystemInfoTest, ApplicationFactsAndEntitlements) {
    EXPECT_EQ(KvApp::id(), QStringLiteral("org.kestrova.Kestrova"));
    EXPECT_EQ(KvApp::versionWithBuild(),
              KvApp::version() + QStringLiteral(" (") + KvApp::build() + QStringLiteral(")"));
    EXPECT_EQ(KvApp::osVersion().count(QLatin1Char('.')), 2);
    EXPECT_FALSE(KvApp::machineArchitecture().isEmpty());
    EXPECT_EQ(KvApp::entitlementKey(KvApp::Entitlement::filesUserSelectedReadWrite),
              QStringLiteral("com.apple.security.files.user-selected.read-write"));
    EXPECT_TRUE(KvApp::hasEntitlement(KvApp::Entitlement::filesUserSelectedReadWrite));
    EXPECT_TRUE(KvApp::hasEntitlement(KvApp::Entitlement::networkClient));
    EXPECT_FALSE(KvApp::hasEntitlement(KvApp::Entitlement::deviceCamera));
    EXPECT_FALSE(KvApp::hasEntitlement(KvApp::Entitlement::appSandbox));
}

// Two real processes of the application on one private session bus: the second start leaves the first
// running, and a relaunched instance takes over only once the old one has ended.
#include "AppProcessTest_p.h"

#include "platform/testing/PrivateSessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace {

using kestrova::testing::kDeadlineMilliseconds;

class SingleInstanceTest : public kestrova::testing::AppProcessTest {
protected:
    void SetUp() override {
        AppProcessTest::SetUp();
        ASSERT_FALSE(m_bus.address().isEmpty());
        m_busAddress = m_bus.address();
        m_connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("single-instance-test")));
        ASSERT_TRUE(m_connection->isConnected());
    }
    void TearDown() override {
        m_connection.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("single-instance-test"));
    }

    // The process id of the application's name owner, or 0.
    qint64 nameOwnerPid() const {
        const auto pid = m_connection->interface()->servicePid(QStringLiteral("org.kestrova.Kestrova"));
        return pid.isValid() ? pid.value() : 0;
    }

    kestrova::testing::PrivateSessionBus m_bus;
    std::unique_ptr<QDBusConnection> m_connection;
};

TEST_F(SingleInstanceTest, ASecondStartAsksTheFirstForItsSettingsAndLeavesWithoutTouchingAnything) {
    const QString application = QStringLiteral(KESTROVA_APPLICATION_PATH);
    auto first = start(application);
    ASSERT_TRUE(waitUntil([&] { return nameOwnerPid() == first->processId(); }));

    QProcess second;
    second.setProcessEnvironment(environment());
    second.start(application, {});
    ASSERT_TRUE(waitUntil([&] { return second.state() == QProcess::NotRunning; }));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    const QStringList lines =
        QString::fromUtf8(second.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines.front().contains(QStringLiteral("already running"))) << lines.front().toStdString();
    EXPECT_TRUE(lines.front().contains(QStringLiteral("no settings window"))) << "this build has none yet";

    // It counted no launch and left no crash marker: it never got as far as the settings.
    EXPECT_EQ(markers().size(), 1);
    EXPECT_EQ(nameOwnerPid(), first->processId());
    EXPECT_EQ(endWith(*first, SIGTERM), 0);
    EXPECT_EQ(storedLaunchCount(), 1);
}

TEST_F(SingleInstanceTest, ARelaunchedInstanceTakesTheNameOnceTheOldOneHasEnded) {
    const QString flag = m_home.filePath(QStringLiteral("relaunched"));
    qputenv("KESTROVA_PROBE_RELAUNCH", flag.toUtf8());
    auto first = start(QStringLiteral(KESTROVA_STARTUP_PROBE_PATH));
    qunsetenv("KESTROVA_PROBE_RELAUNCH");
    ASSERT_TRUE(first->waitForFinished(kDeadlineMilliseconds));
    EXPECT_EQ(first->exitCode(), 0);
    const qint64 firstPid = first->processId();

    qint64 secondPid = 0;
    ASSERT_TRUE(waitUntil([&] {
        secondPid = nameOwnerPid();
        return secondPid != 0 && secondPid != firstPid && hasMarkerOf(secondPid);
    }));
    EXPECT_FALSE(hasMarkerOf(firstPid));
    EXPECT_EQ(markers().size(), 1) << "one instance at a time";
    ::kill(static_cast<pid_t>(secondPid), SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return !isRunning(secondPid); }));
    EXPECT_EQ(storedLaunchCount(), 2);
}

} // namespace

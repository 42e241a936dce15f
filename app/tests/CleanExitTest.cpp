// The application as a real process in a home of its own: how it ends decides what its next start says
// about the last run.
#include "platform/PropertyListSerialization.h"
#include "platform/PropertyListValue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <optional>

#include <sys/types.h>

namespace {

using kestrova::platform::PropertyListValue;

constexpr int kDeadlineMilliseconds = 30000;

class CleanExitTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_home.isValid()); }

    QString stateFolder() const { return m_home.path() + QStringLiteral("/state/kestrova"); }
    QStringList markers() const {
        return QDir(stateFolder()).entryList({QStringLiteral("running-*")}, QDir::Files);
    }
    // The marker of the process `pid`, or nothing yet.
    bool hasMarkerOf(qint64 pid) const {
        return !markers().filter(QRegularExpression(QStringLiteral("^running-%1-").arg(pid))).isEmpty();
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.path() + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.path() + QStringLiteral("/cache"));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), m_home.path() + QStringLiteral("/state"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path() + QStringLiteral("/runtime"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // No session bus of the test's own: the application must not reach the real one.
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=") + m_home.path() + QStringLiteral("/no-bus"));
        return environment;
    }

    // Starts `program` and waits until it has written its crash marker (its quit signals are in place
    // before that).
    std::unique_ptr<QProcess> start(const QString &program) {
        QDir().mkpath(m_home.path() + QStringLiteral("/runtime"));
        QFile::setPermissions(m_home.path() + QStringLiteral("/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(program, {});
        EXPECT_TRUE(process->waitForStarted(kDeadlineMilliseconds));
        const qint64 pid = process->processId();
        EXPECT_TRUE(waitUntil([&] { return hasMarkerOf(pid) || process->state() == QProcess::NotRunning; }));
        EXPECT_TRUE(hasMarkerOf(pid)) << "no crash marker of " << program.toStdString();
        return process;
    }

    // Waits on the event loop, a short while per turn, until `condition` holds or the deadline passes.
    static bool waitUntil(const std::function<bool()> &condition) {
        QDeadlineTimer deadline(kDeadlineMilliseconds);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        }
        return true;
    }

    // Whether `pid` still runs (a process that ended but was not reaped yet does not).
    static bool isRunning(qint64 pid) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        const qsizetype afterName = line.lastIndexOf(')');
        return afterName >= 0 && afterName + 2 < line.size() && line.at(afterName + 2) != 'Z';
    }

    // Sends `signalNumber` and answers the exit code of a normal exit, or -1.
    static int endWith(QProcess &process, int signalNumber) {
        ::kill(static_cast<pid_t>(process.processId()), signalNumber);
        if (!process.waitForFinished(kDeadlineMilliseconds))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    std::optional<PropertyListValue> storedSetting(const QString &key) const {
        QFile file(m_home.path() + QStringLiteral("/config/kestrova/org.kestrova.Kestrova.plist"));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const auto root = kestrova::platform::PropertyListSerialization::fromXml(file.readAll());
        const auto *dictionary = root ? root->getIf<PropertyListValue::Dictionary>() : nullptr;
        if (!dictionary || !dictionary->contains(key))
            return std::nullopt;
        return dictionary->at(key);
    }
    bool storedCrashFlag() const {
        const auto flag = storedSetting(QStringLiteral("Kv_Sentry_hasCrashed"));
        return flag && flag->getIf<bool>() && *flag->getIf<bool>();
    }
    std::int64_t storedLaunchCount() const {
        const auto count = storedSetting(QStringLiteral("Kv_launchCount"));
        return count && count->getIf<std::int64_t>() ? *count->getIf<std::int64_t>() : 0;
    }

    QTemporaryDir m_home;
};

} // namespace

TEST_F(CleanExitTest, QuitSignalsEndTheRunCleanlyAndOnlyAKillCountsAsACrash) {
    const QString application = QStringLiteral(KESTROVA_APPLICATION_PATH);
    for (const int quitSignal : {SIGTERM, SIGINT, SIGHUP}) {
        auto run = start(application);
        EXPECT_EQ(endWith(*run, quitSignal), 0) << "signal " << quitSignal;
        EXPECT_TRUE(markers().isEmpty()) << "signal " << quitSignal;
    }
    // Each start read the last run as clean and the launch count reached the disk.
    EXPECT_EQ(storedLaunchCount(), 3);
    EXPECT_FALSE(storedCrashFlag());
    auto next = start(application);
    EXPECT_EQ(endWith(*next, SIGTERM), 0);
    EXPECT_FALSE(storedCrashFlag());

    auto killed = start(application);
    endWith(*killed, SIGKILL);
    EXPECT_EQ(markers().size(), 1) << "a killed run leaves its marker behind";
    auto afterKill = start(application);
    EXPECT_EQ(endWith(*afterKill, SIGTERM), 0);
    EXPECT_TRUE(storedCrashFlag());
    EXPECT_TRUE(markers().isEmpty());
}

TEST_F(CleanExitTest, ARelaunchIsNoCrash) {
    const QString probe = QStringLiteral(KESTROVA_STARTUP_PROBE_PATH);
    const QString flag = m_home.filePath(QStringLiteral("relaunched"));
    qputenv("KESTROVA_PROBE_RELAUNCH", flag.toUtf8());
    auto first = start(probe);
    qunsetenv("KESTROVA_PROBE_RELAUNCH");
    // The first instance starts the second, then quits on its own.
    ASSERT_TRUE(first->waitForFinished(kDeadlineMilliseconds));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    const qint64 firstPid = first->processId();
    qint64 secondPid = 0;
    ASSERT_TRUE(waitUntil([&] {
        for (const QString &marker : markers()) {
            const qint64 pid = marker.section(u'-', 1, 1).toLongLong();
            if (pid != firstPid && pid != 0)
                secondPid = pid;
        }
        return secondPid != 0;
    }));
    EXPECT_FALSE(hasMarkerOf(firstPid));
    // The second instance is not this test's child: it is ended by its process id.
    ::kill(static_cast<pid_t>(secondPid), SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return !isRunning(secondPid); }));
    EXPECT_TRUE(markers().isEmpty());
    EXPECT_EQ(storedLaunchCount(), 2);
    EXPECT_FALSE(storedCrashFlag());
}

#pragma once

// The application as a real process in a home of its own, for the tests that start it.
#include "platform/defaults/PropertyListSerialization.h"
#include "platform/defaults/PropertyListValue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <optional>

#include <sys/types.h>

namespace kestrova::testing {

using kestrova::platform::PropertyListValue;

inline constexpr int kDeadlineMilliseconds = 30000;

class AppProcessTest : public ::testing::Test {
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
        // Without a session bus of the test's own, none: the application must not reach the real one.
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           m_busAddress.isEmpty()
                               ? QStringLiteral("unix:path=") + m_home.path() + QStringLiteral("/no-bus")
                               : m_busAddress);
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
    QString m_busAddress;
};

} // namespace kestrova::testing

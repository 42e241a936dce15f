// The application as a real process in a home of its own: how it ends decides what its next start says
// about the last run.
#include "AppProcessTest_p.h"

namespace {

using CleanExitTest = kestrova::testing::AppProcessTest;
using kestrova::testing::kDeadlineMilliseconds;

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

TEST_F(CleanExitTest, MovieAndHeicLibrariesAreNotLoadedToStart) {
    // They are loaded when a movie or a HEIC picture is first read; linked, they would be mapped before the
    // first line of main, so before the crash marker that start() waits for. (GIO is not checked: a first
    // launch's welcome may well use it by then.)
    auto run = start(QStringLiteral(KESTROVA_APPLICATION_PATH));
    QFile maps(QStringLiteral("/proc/%1/maps").arg(run->processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    EXPECT_TRUE(mapped.contains("libQt6Core")) << "the maps were read";
    for (const char *library : {"/libavcodec.so", "/libavformat.so", "/libswscale.so", "/libheif.so"})
        EXPECT_FALSE(mapped.contains(library)) << library;
    EXPECT_EQ(endWith(*run, SIGTERM), 0);
}

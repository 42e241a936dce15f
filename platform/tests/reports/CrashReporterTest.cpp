#include "platform/reports/CrashReporter.h"
#include "platform/testing/CrashReportFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSize>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <limits>
#include <memory>

using kestrova::platform::CrashReporter;
using namespace kestrova::testing;

namespace {

QStringList markerFiles(const QString &stateDirectory) {
    return QDir(stateDirectory).entryList({QStringLiteral("running-*")}, QDir::Files);
}

} // namespace

TEST(CrashReporterTest, WritesOneGzipEnvelopePerError) {
    QTemporaryDir state;
    CrashReporter reporter(state.path());
    const QString id =
        reporter.captureError(QStringLiteral("Kestrova.GeneralError.GeneralError"), 42,
                              {{QStringLiteral("file"), QStringLiteral("a.cpp")},
                               {QStringLiteral("line"), 7},
                               {QStringLiteral("url"), QUrl::fromLocalFile(QStringLiteral("/a b#c"))}});
    ASSERT_EQ(id.size(), 32);
    ASSERT_TRUE(reporter.waitForPendingReports(std::chrono::seconds(10)));

    const QStringList files = crashReportFiles(reporter.reportsDirectory());
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files.front().contains(id));
    const auto envelope = readCrashReport(reporter.reportsDirectory() + u'/' + files.front());
    ASSERT_TRUE(envelope);
    EXPECT_EQ(envelope->header["event_id"], id.toStdString());
    EXPECT_EQ(envelope->event["event_id"], id.toStdString());
    EXPECT_EQ(envelope->event["level"], "error");
    const auto &error = envelope->event["error"];
    EXPECT_EQ(error["domain"], "Kestrova.GeneralError.GeneralError");
    EXPECT_EQ(error["code"], 42);
    EXPECT_EQ(error["userInfo"]["file"], "a.cpp");
    EXPECT_EQ(error["userInfo"]["line"], 7);
    EXPECT_EQ(error["userInfo"]["url"], "file:///a%20b%23c");
    // Nothing but the envelope (no temporary file) is left in the folder.
    EXPECT_EQ(QDir(reporter.reportsDirectory()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(CrashReporterTest, OddValuesBecomeValidJson) {
    QTemporaryDir state;
    CrashReporter reporter(state.path());
    QVariant deep = 1;
    for (int level = 0; level < 200; ++level)
        deep = QVariantList{deep};
    reporter.captureError(QString(QChar(0xD800)), std::numeric_limits<qint64>::min(),
                          {{QStringLiteral("bytes"), QByteArray("ok\xff", 3)},
                           {QStringLiteral("nan"), std::numeric_limits<double>::quiet_NaN()},
                           {QStringLiteral("size"), QSize(1, 2)},
                           {QStringLiteral("deep"), deep},
                           {QString(), QVariant()},
                           {QStringLiteral("big"), std::numeric_limits<quint64>::max()}});
    ASSERT_TRUE(reporter.waitForPendingReports(std::chrono::seconds(10)));
    const QStringList files = crashReportFiles(reporter.reportsDirectory());
    ASSERT_EQ(files.size(), 1);
    const auto envelope = readCrashReport(reporter.reportsDirectory() + u'/' + files.front());
    ASSERT_TRUE(envelope);
    const auto &error = envelope->event["error"];
    EXPECT_EQ(error["code"], std::numeric_limits<qint64>::min());
    EXPECT_EQ(error["userInfo"]["bytes"], "ok\xef\xbf\xbd");
    EXPECT_TRUE(error["userInfo"]["nan"].is_null());
    EXPECT_EQ(error["userInfo"]["size"], "<QSize>");
    EXPECT_TRUE(error["userInfo"][""].is_null());
    EXPECT_EQ(error["userInfo"]["big"], std::numeric_limits<quint64>::max());
}

TEST(CrashReporterTest, KeepsOnlyTheNewestHundred) {
    QTemporaryDir state;
    CrashReporter reporter(state.path());
    QStringList ids;
    for (int batch = 0; batch < 3; ++batch) {
        for (int index = 0; index < 40; ++index)
            ids.append(reporter.captureError(QStringLiteral("D"), batch * 100 + index, {}));
        ASSERT_TRUE(reporter.waitForPendingReports(std::chrono::seconds(30)));
    }
    ASSERT_FALSE(ids.contains(QString()));

    const QStringList files = crashReportFiles(reporter.reportsDirectory());
    ASSERT_EQ(files.size(), CrashReporter::kMaximumReportCount);
    for (int index = 0; index < ids.size(); ++index) {
        const bool kept = !files.filter(ids.at(index)).isEmpty();
        EXPECT_EQ(kept, index >= ids.size() - CrashReporter::kMaximumReportCount) << index;
    }
    for (const QString &name : {files.front(), files.back()})
        EXPECT_TRUE(readCrashReport(reporter.reportsDirectory() + u'/' + name));
}

TEST(CrashReporterTest, RunningMarkerTellsWhetherTheLastRunEndedCleanly) {
    QTemporaryDir state;
    {
        CrashReporter firstRun(state.path());
        EXPECT_FALSE(firstRun.crashedLastRun());
        firstRun.markRunning();
        EXPECT_TRUE(QFile::exists(firstRun.runningMarkerPath()));
        EXPECT_FALSE(firstRun.crashedLastRun());
        // Ends without a clean exit.
    }
    {
        CrashReporter secondRun(state.path());
        EXPECT_TRUE(secondRun.crashedLastRun());
        secondRun.markRunning();
        EXPECT_TRUE(secondRun.crashedLastRun());
        secondRun.captureError(QStringLiteral("D"), 1, {});
        const QString marker = secondRun.runningMarkerPath();
        ASSERT_TRUE(QFile::exists(marker));
        secondRun.markCleanExit();
        EXPECT_FALSE(QFile::exists(marker));
        secondRun.markCleanExit();
        // The queued report was written before the exit was called clean.
        EXPECT_EQ(crashReportFiles(secondRun.reportsDirectory()).size(), 1);
    }
    CrashReporter thirdRun(state.path());
    thirdRun.markRunning();
    EXPECT_FALSE(thirdRun.crashedLastRun());
    thirdRun.markCleanExit();
    EXPECT_EQ(markerFiles(state.path()), QStringList());
}

TEST(CrashReporterTest, MarkerOfAnInstanceStillRunningIsNoCrash) {
    QTemporaryDir state;
    // A relaunch: the new instance starts while the old one still runs (and holds its marker).
    auto oldInstance = std::make_unique<CrashReporter>(state.path());
    oldInstance->markRunning();
    const QString oldMarker = oldInstance->runningMarkerPath();
    {
        CrashReporter newInstance(state.path());
        EXPECT_FALSE(newInstance.crashedLastRun());
        newInstance.markRunning();
        EXPECT_FALSE(newInstance.crashedLastRun());
        EXPECT_TRUE(QFile::exists(oldMarker)) << "a live instance's marker is left alone";
        EXPECT_NE(newInstance.runningMarkerPath(), oldMarker);
        EXPECT_EQ(markerFiles(state.path()).size(), 2);

        oldInstance->markCleanExit();
        oldInstance.reset();
        EXPECT_FALSE(QFile::exists(oldMarker));
        EXPECT_EQ(markerFiles(state.path()).size(), 1);
        // The new instance then ends without a clean exit.
    }
    CrashReporter afterKill(state.path());
    EXPECT_TRUE(afterKill.crashedLastRun());
    afterKill.markRunning();
    EXPECT_TRUE(afterKill.crashedLastRun());
    EXPECT_EQ(markerFiles(state.path()).size(), 1) << "the abandoned marker is cleared away";
    afterKill.markCleanExit();

    CrashReporter next(state.path());
    next.markRunning();
    EXPECT_FALSE(next.crashedLastRun());
}

TEST(CrashReporterTest, FilesNotOfItsOwnNamingAreNeitherACrashNorRemoved) {
    QTemporaryDir state;
    const QStringList strangers{QStringLiteral("Running-1"),      QStringLiteral("RUNNING-2-abc"),
                                QStringLiteral("running"),        QStringLiteral("xrunning-3"),
                                QStringLiteral(".running-4-tmp"), QStringLiteral("notes running-5")};
    for (const QString &name : strangers) {
        QFile file(state.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // A folder and a link with a marker's name are no markers either; the link's target stays.
    ASSERT_TRUE(QDir(state.path()).mkdir(QStringLiteral("running-6-dir")));
    ASSERT_TRUE(QFile::link(state.filePath(QStringLiteral("Running-1")),
                            state.filePath(QStringLiteral("running-7"))));
    {
        CrashReporter run(state.path());
        EXPECT_FALSE(run.crashedLastRun());
        run.markRunning();
        EXPECT_FALSE(run.crashedLastRun());
        run.markCleanExit();
    }
    for (const QString &name : strangers)
        EXPECT_TRUE(QFile::exists(state.filePath(name))) << name.toStdString();
    EXPECT_TRUE(QFileInfo(state.filePath(QStringLiteral("running-6-dir"))).isDir());
    EXPECT_TRUE(QFileInfo(state.filePath(QStringLiteral("running-7"))).isSymLink());
}

TEST(CrashReporterTest, FailuresStaySoft) {
    QTemporaryDir state;
    // A file where the state folder should be: nothing can be written, and nothing throws.
    const QString blocked = state.filePath(QStringLiteral("blocked"));
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    CrashReporter reporter(blocked);
    EXPECT_FALSE(reporter.captureError(QStringLiteral("D"), 1, {}).isEmpty());
    EXPECT_TRUE(reporter.waitForPendingReports(std::chrono::seconds(10)));
    reporter.markRunning();
    EXPECT_FALSE(reporter.crashedLastRun());
    reporter.markCleanExit();

    // Destroying a reporter writes what it still holds.
    QTemporaryDir other;
    {
        CrashReporter shortLived(other.path());
        shortLived.captureError(QStringLiteral("D"), 2, {});
    }
    EXPECT_EQ(crashReportFiles(other.path() + QStringLiteral("/reports")).size(), 1);

    EXPECT_EQ(CrashReporter::defaultStateDirectory(),
              qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/kestrova"));
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "relative/path");
    EXPECT_EQ(CrashReporter::defaultStateDirectory(),
              QDir::homePath() + QStringLiteral("/.local/state/kestrova"));
    qputenv("XDG_STATE_HOME", saved);
}

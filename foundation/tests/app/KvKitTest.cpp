#include "foundation/app/DataAndSettings.h"
#include "foundation/app/KvApp.h"
#include "foundation/app/KvKit.h"
#include "foundation/files/WellKnownFolders.h"
#include "foundation/files/FileUrl.h"
#include "foundation/testing/ReportedErrors.h"
#include "platform/reports/CrashReporter.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeKeyboardState.h"
#include "platform/testing/InMemorySuite.h"
#include "platform/testing/ScriptedPresenters.h"
#include "platform/testing/TemporaryHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

using namespace kestrova;
using platform::PropertyListValue;
using platform::ModifierFlag::capsLock;
using platform::ModifierFlag::command;
using platform::ModifierFlag::control;
using platform::ModifierFlag::help;
using platform::ModifierFlag::option;
using platform::ModifierFlag::shift;

namespace {

// A launch against a suite and keyboard of the test's own, with the hooks recording what they were asked.
class KvKitTest : public ::testing::Test {
protected:
    void SetUp() override {
        KvApp::ApplicationHooks hooks;
        hooks.showSupportWindow = [this] { m_calls << QStringLiteral("support"); };
        hooks.showSettingsWindow = [this] { m_calls << QStringLiteral("settings"); };
        KvApp::setHooks(hooks);
        m_savedOperations = KvApp::relaunchOperations();
        KvApp::setRelaunchOperations(
            {[this](const QString &, const QStringList &) {
                 m_calls << QStringLiteral("start");
                 return true;
             },
             [](const QUrl &) { return false; }, [this] { m_calls << QStringLiteral("terminate"); },
             [this](int status) { m_calls << QStringLiteral("exit %1").arg(status); }});
    }
    void TearDown() override {
        KvApp::setHooks({});
        KvApp::setRelaunchOperations(m_savedOperations);
    }

    std::unique_ptr<KvKit> launch() {
        return std::make_unique<KvKit>(KvKit::Environment{m_suite, m_keyboard, [this] { return m_crashed; },
                                                          [this] { m_calls << QStringLiteral("delete"); }});
    }
    // Lets the queued first-turn work run.
    static void runQueuedWork() {
        bool done = false;
        QTimer::singleShot(0, [&] { done = true; });
        ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return done; }));
    }

    std::shared_ptr<platform::UserDefaults> m_suite = kestrova::testing::makeInMemorySuite();
    std::shared_ptr<kestrova::testing::FakeKeyboardState> m_keyboard =
        std::make_shared<kestrova::testing::FakeKeyboardState>();
    bool m_crashed = false;
    QStringList m_calls;
    KvApp::RelaunchOperations m_savedOperations;
};

} // namespace

TEST_F(KvKitTest, CountsLaunchesAndKeepsTheFirstLaunchDate) {
    const auto first = launch();
    EXPECT_EQ(first->launchCount(), 1);
    EXPECT_TRUE(first->isFirstLaunch());
    EXPECT_EQ(m_suite->object(QStringLiteral("Kv_launchCount")), PropertyListValue(1));
    EXPECT_EQ(m_suite->object(QStringLiteral("NSApplicationCrashOnExceptions")), PropertyListValue(true));
    const auto second = launch();
    EXPECT_EQ(second->launchCount(), 2);
    EXPECT_FALSE(second->isFirstLaunch());
    EXPECT_EQ(second->firstLaunchDate(), first->firstLaunchDate());

    const auto countAfter = [](std::optional<PropertyListValue> stored) {
        return KvKit::nextLaunchCount(stored);
    };
    EXPECT_EQ(countAfter(PropertyListValue(41)), 42);
    EXPECT_EQ(countAfter(PropertyListValue(QStringLiteral("41"))), 42);
    EXPECT_EQ(countAfter(PropertyListValue(QStringLiteral("abc"))), 1);
    EXPECT_EQ(countAfter(PropertyListValue(QStringLiteral(""))), 1);
    EXPECT_EQ(countAfter(PropertyListValue(2.5)), 1);
    EXPECT_EQ(countAfter(std::nullopt), 1);
    EXPECT_EQ(countAfter(PropertyListValue(std::numeric_limits<qint64>::max())),
              std::numeric_limits<qint64>::max());
    runQueuedWork();
}

TEST_F(KvKitTest, CrashFlagStaysOnceSeen) {
    m_crashed = false;
    EXPECT_FALSE(launch()->hasCrashed());
    EXPECT_FALSE(m_suite->object(QStringLiteral("Kv_Sentry_hasCrashed")).has_value());
    m_crashed = true;
    EXPECT_TRUE(launch()->hasCrashed());
    m_crashed = false;
    EXPECT_TRUE(launch()->hasCrashed());
    EXPECT_EQ(m_suite->object(QStringLiteral("Kv_Sentry_hasCrashed")), PropertyListValue(true));
    runQueuedWork();
}

TEST_F(KvKitTest, LaunchChords) {
    EXPECT_EQ(launchChord(shift | control), LaunchChord::debugMode);
    EXPECT_EQ(launchChord(shift | control | option | capsLock), LaunchChord::supportWindow);
    EXPECT_EQ(launchChord(shift | control | option | command), LaunchChord::deleteDataAndSettings);
    EXPECT_EQ(launchChord(shift | control | option | help), LaunchChord::none);
    EXPECT_EQ(launchChord(shift | control | help), LaunchChord::none);
    EXPECT_EQ(launchChord(shift), LaunchChord::none);

    kestrova::testing::ScopedScriptedPresenters presenters;
    m_keyboard->hold(shift | control);
    auto kit = launch();
    runQueuedWork();
    EXPECT_TRUE(m_calls.isEmpty()) << m_calls.join(QLatin1Char(',')).toStdString();

    m_keyboard->hold(shift | control | option | capsLock);
    kit = launch();
    runQueuedWork();
    EXPECT_EQ(m_calls, QStringList{QStringLiteral("support")});
    EXPECT_TRUE(presenters.alerts().shownAlerts().empty());
}

TEST_F(KvKitTest, DeleteQuestionDeletesAndRelaunchesOnlyWhenConfirmed) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    m_keyboard->hold(shift | control | option | command);
    presenters.alerts().answer(platform::ModalResponse::alertSecondButtonReturn);
    auto kit = launch();
    runQueuedWork();
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1U);
    const platform::Alert &question = presenters.alerts().shownAlerts().front();
    EXPECT_EQ(question.messageText,
              QStringLiteral("Are you sure you want to delete the settings and data for Kestrova?"));
    ASSERT_EQ(question.buttons.size(), 2U);
    EXPECT_TRUE(question.buttons[0].hasDestructiveAction);
    EXPECT_NE(question.buttons[0].keyEquivalent, QStringLiteral("\r"));
    EXPECT_TRUE(m_calls.isEmpty()) << "Cancel must leave everything alone";

    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);
    kit = launch();
    ASSERT_TRUE(
        kestrova::testing::processEventsUntil([&] { return m_calls.contains(QStringLiteral("terminate")); }));
    EXPECT_EQ(m_calls,
              (QStringList{QStringLiteral("delete"), QStringLiteral("start"), QStringLiteral("terminate")}));
}

TEST_F(KvKitTest, TheDeleteQuestionReadsTheKeysHeldAtLaunchAfterTheKeyboardServiceWasReplaced) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    presenters.alerts().answer(platform::ModalResponse::alertSecondButtonReturn);
    std::unique_ptr<KvKit> kit;
    {
        // The application's kit takes whatever keyboard is installed; the question reads it a turn later.
        kestrova::testing::ScopedFakeKeyboardState keyboard;
        keyboard.keyboard().hold(shift | control | option | command);
        kit = std::make_unique<KvKit>(KvKit::Environment{m_suite, platform::KeyboardState::sharedPointer(),
                                                         [] { return false; }, [] {}});
    }
    runQueuedWork();
    EXPECT_EQ(presenters.alerts().shownAlerts().size(), 1U);
}

TEST_F(KvKitTest, SettingsReopenOnceAfterARelaunchThatAskedForThem) {
    m_suite->setObject(PropertyListValue(true), QStringLiteral("Kv_isShowingSettingsAfterRelaunch"));
    auto kit = launch();
    EXPECT_FALSE(m_suite->object(QStringLiteral("Kv_isShowingSettingsAfterRelaunch")).has_value());
    runQueuedWork();
    EXPECT_EQ(m_calls, QStringList{QStringLiteral("settings")});
    kit = launch();
    runQueuedWork();
    EXPECT_EQ(m_calls, QStringList{QStringLiteral("settings")});
}

TEST_F(KvKitTest, RelaunchMakesTheSettingsDurableBeforeStartingAndQuitsAfter) {
    const auto standard = platform::UserDefaults::standard();
    bool flagOnDiskAtStart = false;
    auto operations = KvApp::relaunchOperations();
    operations.startProcess = [&](const QString &program, const QStringList &) {
        m_calls << QStringLiteral("start");
        EXPECT_FALSE(program.isEmpty());
        // What a new process would read: the file alone.
        platform::UserDefaults fromDisk(standard->filePath());
        const auto flag = fromDisk.object(QStringLiteral("Kv_isShowingSettingsAfterRelaunch"));
        flagOnDiskAtStart = flag == PropertyListValue(true);
        return true;
    };
    KvApp::setRelaunchOperations(operations);
    bool done = false;
    QCoro::connect(KvApp::relaunch(false, true), qApp, [&] { done = true; });
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return done; }));
    EXPECT_TRUE(flagOnDiskAtStart);
    EXPECT_EQ(m_calls, (QStringList{QStringLiteral("start"), QStringLiteral("terminate")}));
    standard->removeObject(QStringLiteral("Kv_isShowingSettingsAfterRelaunch"));
}

TEST_F(KvKitTest, FailedRelaunchIsReportedShownAndStillQuits) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    kestrova::testing::ReportedErrors reported;
    auto operations = KvApp::relaunchOperations();
    operations.startProcess = [](const QString &, const QStringList &) { return false; };
    KvApp::setRelaunchOperations(operations);

    bool done = false;
    QCoro::connect(KvApp::relaunch(false, false), qApp, [&] { done = true; });
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return done; }));
    EXPECT_EQ(presenters.alerts().shownAlerts().size(), 1U);
    EXPECT_EQ(m_calls, QStringList{QStringLiteral("terminate")});

    done = false;
    QCoro::connect(KvApp::relaunch(true, false), qApp, [&] { done = true; });
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return done; }));
    EXPECT_EQ(presenters.alerts().shownAlerts().size(), 1U) << "exiting at once shows nothing";
    EXPECT_EQ(m_calls, (QStringList{QStringLiteral("terminate"), QStringLiteral("exit 1")}));
    EXPECT_EQ(reported.errors().size(), 2);
}

TEST(DataAndSettingsTest, TheResetCoversEveryFolderTheApplicationWrites) {
    // The application runs under its display name; its folders must not follow it.
    const QString previousName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
    kestrova::testing::ReportedErrors reported;
    const QStringList written{QFile::decodeName(url::localPath(url::applicationSupportDirectory())),
                              QFile::decodeName(url::localPath(url::cachesDirectory())),
                              platform::UserDefaults::defaultsDirectory(),
                              platform::CrashReporter::defaultStateDirectory()};
    const QStringList own = DataAndSettings::ownFolders();
    for (const QString &folder : written) {
        ASSERT_TRUE(QDir().mkpath(folder)) << folder.toStdString();
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        EXPECT_TRUE(std::ranges::any_of(
            own,
            [&](const QString &candidate) { return QFileInfo(candidate).canonicalFilePath() == canonical; }))
            << folder.toStdString() << " is not among " << own.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(DataAndSettings::verifiedRemovalTarget(folder), std::optional<QString>(canonical))
            << folder.toStdString();
    }
    EXPECT_EQ(reported.descriptions(), QString());
    QCoreApplication::setApplicationName(previousName);
}

TEST(DataAndSettingsTest, RemovesOnlyTheApplicationsOwnFolders) {
    kestrova::testing::TemporaryHome home;
    const QStringList own{
        home.configHome() + QStringLiteral("/kestrova"), home.dataHome() + QStringLiteral("/kestrova"),
        home.cacheHome() + QStringLiteral("/kestrova"), home.stateHome() + QStringLiteral("/kestrova")};
    for (const QString &folder : own)
        ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/inside")));
    ASSERT_TRUE(QDir().mkpath(home.dataHome() + QStringLiteral("/other-app")));
    ASSERT_TRUE(QDir().mkpath(home.dataHome() + QStringLiteral("/kestrova-notes")));
    platform::UserDefaults::standard()->setObject(PropertyListValue(3), QStringLiteral("Kv_launchCount"));

    QStringList expected;
    for (const QString &folder : own)
        expected << QFileInfo(folder).canonicalFilePath();
    QStringList trashed;
    const QStringList handed = DataAndSettings::remove([&](const QString &path) {
        trashed << path;
        return QDir(path).removeRecursively();
    });
    EXPECT_EQ(trashed, handed);
    EXPECT_EQ(trashed, expected);
    for (const QString &folder : own)
        EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();
    EXPECT_TRUE(QFileInfo::exists(home.dataHome() + QStringLiteral("/other-app")));
    EXPECT_TRUE(QFileInfo::exists(home.dataHome() + QStringLiteral("/kestrova-notes")));
    EXPECT_TRUE(QFileInfo::exists(home.dataHome()));
    EXPECT_FALSE(
        platform::UserDefaults::standard()->persistentDomain().count(QStringLiteral("Kv_launchCount")));
}

TEST(DataAndSettingsTest, RefusesFoldersThatAreNotItsOwn) {
    kestrova::testing::TemporaryHome home;
    kestrova::testing::ReportedErrors reported;
    // A data home pointing at the home itself would make "kestrova" there fine, but never the home.
    ASSERT_TRUE(QDir().mkpath(home.path() + QStringLiteral("/elsewhere/kestrova")));
    EXPECT_FALSE(DataAndSettings::verifiedRemovalTarget(home.path() + QStringLiteral("/elsewhere/kestrova")));
    EXPECT_FALSE(DataAndSettings::verifiedRemovalTarget(home.dataHome()));
    EXPECT_FALSE(DataAndSettings::verifiedRemovalTarget(home.path()));
    // A link named like our folder, pointing at the user's documents, is not followed.
    ASSERT_TRUE(QDir().mkpath(home.path() + QStringLiteral("/Documents")));
    ASSERT_TRUE(QDir().mkpath(home.dataHome()));
    ASSERT_TRUE(QFile::link(home.path() + QStringLiteral("/Documents"),
                            home.dataHome() + QStringLiteral("/kestrova")));
    EXPECT_FALSE(DataAndSettings::verifiedRemovalTarget(home.dataHome() + QStringLiteral("/kestrova")));
    EXPECT_GE(reported.errors().size(), 4);

    // An XDG variable set to the home folder itself must not make the home a target's parent.
    qputenv("XDG_CACHE_HOME", home.path().toUtf8());
    ASSERT_TRUE(QDir().mkpath(home.path() + QStringLiteral("/kestrova")));
    EXPECT_FALSE(DataAndSettings::verifiedRemovalTarget(home.path() + QStringLiteral("/kestrova")));
    const QStringList handed = DataAndSettings::remove([](const QString &) { return true; });
    for (const QString &path : handed) {
        EXPECT_NE(path, QFileInfo(home.path()).canonicalFilePath());
        EXPECT_TRUE(path.endsWith(QStringLiteral("/kestrova")));
    }
    EXPECT_TRUE(QFileInfo::exists(home.path() + QStringLiteral("/Documents")));
}

TEST(DataAndSettingsTest, MovesToTheFreedesktopTrash) {
    const QString folder = QDir::homePath() + QStringLiteral("/.cache/kestrova-trash-test");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(DataAndSettings::moveToTrash(folder));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_FALSE(DataAndSettings::moveToTrash(folder));
}

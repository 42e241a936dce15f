// Two real processes of the application on one private session bus: the second start leaves the first
// running, and a relaunched instance takes over only once the old one has ended.
#include "AppProcessTest_p.h"

#include "app/SingleInstance.h"

#include "platform/defaults/UserDefaults.h"
#include "platform/testing/PrivateSessionBus.h"
#include "platform/testing/StatusNotifierHost.h"
#include "store/BookmarkData.h"
#include "store/Defaults.h"
#include "store/Folder.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QTimer>

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

    // The folders stored in the application's settings file, or (with `folders`) stores them there.
    std::vector<kestrova::Folder>
    storedFolders(std::optional<std::vector<kestrova::Folder>> folders = std::nullopt) {
        auto suite = std::make_shared<kestrova::platform::UserDefaults>(
            m_home.path() + QStringLiteral("/config/kestrova/org.kestrova.Kestrova.plist"));
        const kestrova::Defaults::Key<std::vector<kestrova::Folder>> key(QStringLiteral("folders"), {},
                                                                         suite);
        if (folders) {
            kestrova::Defaults::set(key, *folders);
            EXPECT_TRUE(suite->synchronize());
        }
        return kestrova::Defaults::get(key);
    }
    kestrova::Folder makeFolder(const QString &name, bool isVisible) const {
        const QString path = m_home.filePath(name);
        QDir().mkpath(path);
        kestrova::Folder folder(
            QUuid::createUuid(),
            kestrova::SandboxURLBookmark(kestrova::BookmarkData::create(QUrl::fromLocalFile(path))));
        folder.isVisible = isVisible;
        return folder;
    }
    // gdbus against the private bus, run while this process's event loop turns.
    QString gdbusCall(const QString &method, const QStringList &arguments) {
        QProcess process;
        process.start(QStringLiteral("gdbus"),
                      QStringList{QStringLiteral("call"), QStringLiteral("--address"), m_bus.address(),
                                  QStringLiteral("--dest"), QStringLiteral("org.kestrova.Kestrova"),
                                  QStringLiteral("--object-path"), QStringLiteral("/org/kestrova/Kestrova"),
                                  QStringLiteral("--method"), method} +
                          arguments);
        EXPECT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
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
    EXPECT_TRUE(lines.front().contains(QStringLiteral("its settings window was opened")))
        << lines.front().toStdString();

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

TEST_F(SingleInstanceTest, AScriptedVisibilityChangeIsStoredAndTheRelaunchedInstanceShowsIt) {
    const std::vector<kestrova::Folder> folders{makeFolder(QStringLiteral("a"), false),
                                                makeFolder(QStringLiteral("b"), true)};
    storedFolders(folders);
    auto first = start(QStringLiteral(KESTROVA_APPLICATION_PATH));
    ASSERT_TRUE(waitUntil([&] { return nameOwnerPid() == first->processId(); }));

    const QString id = folders[0].id.toString(QUuid::WithoutBraces).toUpper();
    EXPECT_EQ(gdbusCall(QStringLiteral("org.kestrova.Kestrova.FolderActions1.SetFolderVisibility"),
                        {QStringLiteral("{'folder': <['%1']>, 'hideOtherFolders': <true>}").arg(id)}),
              QStringLiteral("(4,)"));
    ASSERT_TRUE(first->waitForFinished(kDeadlineMilliseconds));
    EXPECT_EQ(first->exitCode(), 0);
    qint64 secondPid = 0;
    ASSERT_TRUE(waitUntil([&] {
        secondPid = nameOwnerPid();
        return secondPid != 0 && secondPid != first->processId() && hasMarkerOf(secondPid);
    }));

    const std::vector<kestrova::Folder> stored = storedFolders();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_TRUE(stored[0].isVisible);
    EXPECT_FALSE(stored[1].isVisible);
    const QString listed = gdbusCall(QStringLiteral("org.kestrova.Kestrova.FolderActions1.GetFolders"), {});
    EXPECT_TRUE(listed.startsWith(QStringLiteral("(4, [{"))) << listed.left(200).toStdString();
    EXPECT_TRUE(listed.contains(id));
    // Its output went to the first instance's, which is gone: ending must not die on writing there.
    ::kill(static_cast<pid_t>(secondPid), SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return !isRunning(secondPid); }));
    EXPECT_TRUE(markers().isEmpty()) << markers().join(u' ').toStdString() << " first " << first->processId()
                                     << " second " << secondPid;
}

// Many folders and a panel on the bus: a call made while the status items are still being made is answered
// with every folder, and every visible folder's item is made and registered, in stored order.
TEST_F(SingleInstanceTest, ACallWhileManyFolderItemsAreMadeIsAnsweredAndEveryItemComesInOrder) {
    std::vector<kestrova::Folder> folders;
    QStringList wantedIds;
    for (int index = 0; index < 240; ++index) {
        folders.push_back(makeFolder(QStringLiteral("folder %1").arg(index), index % 8 != 3));
        if (folders.back().isVisible)
            wantedIds << QStringLiteral("org.kestrova.Kestrova-") +
                             folders.back().id.toString(QUuid::WithoutBraces);
    }
    storedFolders(folders);
    kestrova::testing::StatusNotifierHost panel(m_bus.address());
    ASSERT_TRUE(panel.start());

    auto application = start(QStringLiteral(KESTROVA_APPLICATION_PATH));
    ASSERT_TRUE(waitUntil([&] { return !panel.registeredItems().isEmpty(); }));
    ASSERT_LT(panel.registeredItems().size(), wantedIds.size()) << "the call comes while items are made";
    const QDBusPendingCall call = m_connection->asyncCall(QDBusMessage::createMethodCall(
        QStringLiteral("org.kestrova.Kestrova"), QStringLiteral("/org/kestrova/Kestrova"),
        QStringLiteral("org.kestrova.Kestrova.FolderActions1"), QStringLiteral("GetFolders")));
    ASSERT_TRUE(waitUntil([&] { return call.isFinished(); }));
    const QDBusMessage reply = call.reply();
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    ASSERT_EQ(reply.arguments().size(), 2);
    EXPECT_EQ(qdbus_cast<QList<QVariantMap>>(reply.arguments().at(1)).size(), qsizetype(folders.size()));

    ASSERT_TRUE(waitUntil([&] { return panel.registeredItems().size() >= wantedIds.size(); }));
    // Each item's connection registers it on its own, so the bus may reorder registrations: the order
    // the items were made in is the number in their names.
    QStringList services = panel.registeredItems();
    const auto number = [](const QString &service) { return service.section(u'-', -1).toInt(); };
    std::sort(services.begin(), services.end(),
              [&](const QString &a, const QString &b) { return number(a) < number(b); });
    QStringList ids;
    for (const QString &service : services)
        ids << panel.properties(service).value(QStringLiteral("Id")).toString();
    EXPECT_EQ(ids, wantedIds);
    EXPECT_EQ(endWith(*application, SIGTERM), 0);
}

} // namespace

namespace {

using kestrova::SingleInstance;

TEST_F(SingleInstanceTest, ARelaunchTakesTheNameWhenTheOwnerGoesAndGivesUpAtItsTimeLimit) {
    const QString name = QStringLiteral("org.kestrova.Kestrova");
    QDBusConnection owner =
        QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("single-instance-owner"));
    ASSERT_TRUE(owner.registerService(name));

    EXPECT_EQ(SingleInstance::claim(*m_connection, name, /*isRelaunch=*/false),
              SingleInstance::Outcome::anotherIsRunning);
    EXPECT_EQ(SingleInstance::claim(*m_connection, name, /*isRelaunch=*/true, std::chrono::milliseconds(0)),
              SingleInstance::Outcome::previousDidNotEnd);
    // Giving up left no place in the queue behind: the owner's leaving hands the name to nobody.
    ASSERT_TRUE(owner.unregisterService(name));
    EXPECT_FALSE(m_connection->interface()->isServiceRegistered(name).value());

    ASSERT_TRUE(owner.registerService(name));
    QTimer::singleShot(0, [&] { owner.unregisterService(name); });
    EXPECT_EQ(SingleInstance::claim(*m_connection, name, /*isRelaunch=*/true, std::chrono::hours(1)),
              SingleInstance::Outcome::primary);
    EXPECT_EQ(m_connection->interface()->serviceOwner(name).value(), m_connection->baseService());
    QDBusConnection::disconnectFromBus(QStringLiteral("single-instance-owner"));
}

} // namespace

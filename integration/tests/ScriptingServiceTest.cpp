// The scriptable actions on a private session bus, called the way a script calls them: with gdbus.
#include "integration/ScriptingService.h"

#include "foundation/files/FileUrl.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/PrivateSessionBus.h"
#include "StoredFolders_p.h"
#include "store/DefaultsKeys.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace kestrova {
namespace {

struct CallResult {
    int exitCode = -1;
    QString output;
    QString error;
};

class ScriptingServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_bus.address().isEmpty());
        ASSERT_TRUE(m_root.isValid());
        m_connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("scripting-service-test")));
        ASSERT_TRUE(m_connection->isConnected());
        m_service = std::make_unique<ScriptingService>(ScriptingService::Environment{
            .relaunch = [this] { ++m_relaunches; },
            // Like the application's: the window is there once the start has installed it, if the build has
            // one.
            .showSettingsWindow = [this] { return m_hasSettingsWindow && m_isStarted; },
            .finishStarting =
                [this] {
                    ++m_startFinishes;
                    m_isStarted = true;
                },
        });
        ASSERT_TRUE(m_service->registerObject(*m_connection));
        ASSERT_TRUE(m_connection->registerService(QString::fromLatin1(ScriptingService::kServiceName)));
    }
    void TearDown() override {
        m_service.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("scripting-service-test"));
        Defaults::set(Defaults::Keys::folders(), {});
    }

    Folder makeFolder(const QString &name, bool isVisible) {
        return testing::makeStoredFolder(m_root, name, isVisible);
    }

    // gdbus runs while this process's event loop answers it.
    CallResult gdbus(const QStringList &arguments) {
        QProcess process;
        process.start(QStringLiteral("gdbus"),
                      QStringList{arguments.front(), QStringLiteral("--address"), m_bus.address()} +
                          arguments.mid(1));
        EXPECT_TRUE(testing::processEventsUntil([&] { return process.state() == QProcess::NotRunning; }));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    CallResult call(const QString &method, const QStringList &arguments = {}) {
        return gdbus(QStringList{QStringLiteral("call"), QStringLiteral("--dest"),
                                 QString::fromLatin1(ScriptingService::kServiceName),
                                 QStringLiteral("--object-path"),
                                 QString::fromLatin1(ScriptingService::kObjectPath),
                                 QStringLiteral("--method"), method} +
                     arguments);
    }
    CallResult setVisibility(const QString &parameters) {
        return call(QStringLiteral("org.kestrova.Kestrova.FolderActions1.SetFolderVisibility"), {parameters});
    }
    static QString idOf(const Folder &folder) { return folder.id.toString(QUuid::WithoutBraces).toUpper(); }

    testing::PrivateSessionBus m_bus;
    QTemporaryDir m_root;
    std::unique_ptr<QDBusConnection> m_connection;
    std::unique_ptr<ScriptingService> m_service;
    int m_relaunches = 0;
    bool m_hasSettingsWindow = false;
    bool m_isStarted = false;
    int m_startFinishes = 0;
};

TEST_F(ScriptingServiceTest, ACallWhileTheApplicationStartsFinishesTheStartFirstAndAPingDoesNot) {
    const CallResult ping =
        gdbus({QStringLiteral("introspect"), QStringLiteral("--dest"),
               QString::fromLatin1(ScriptingService::kServiceName), QStringLiteral("--object-path"),
               QString::fromLatin1(ScriptingService::kObjectPath)});
    ASSERT_EQ(ping.exitCode, 0) << ping.error.toStdString();
    EXPECT_EQ(m_startFinishes, 0);
    m_hasSettingsWindow = true;
    // The settings window is there only once the start is finished: the call sees it, not "not available".
    const CallResult settings = call(QStringLiteral("org.kestrova.Kestrova.Application1.ShowSettings"));
    EXPECT_EQ(settings.exitCode, 0) << settings.error.toStdString();
    EXPECT_EQ(m_startFinishes, 1);
    const CallResult folders = call(QStringLiteral("org.kestrova.Kestrova.FolderActions1.FolderOptions"));
    EXPECT_EQ(folders.exitCode, 0) << folders.error.toStdString();
    EXPECT_EQ(m_startFinishes, 2);
}

TEST_F(ScriptingServiceTest, GetFoldersAnswersSuccessWithEveryFolder) {
    const std::vector<Folder> folders{makeFolder(QStringLiteral("shown"), true),
                                      makeFolder(QStringLiteral("hidden"), false)};
    Defaults::set(Defaults::Keys::folders(), folders);
    const CallResult result = call(QStringLiteral("org.kestrova.Kestrova.FolderActions1.GetFolders"));
    ASSERT_EQ(result.exitCode, 0) << result.error.toStdString();
    EXPECT_TRUE(result.output.startsWith(QStringLiteral("(4, [{"))) << result.output.toStdString();
    const qsizetype first = result.output.indexOf(idOf(folders[0]));
    const qsizetype second = result.output.indexOf(idOf(folders[1]));
    EXPECT_GE(first, 0);
    EXPECT_GT(second, first) << "stored order";
    EXPECT_TRUE(result.output.contains(QStringLiteral("'isVisible': <false>")));
    EXPECT_TRUE(result.output.contains(QStringLiteral("'displayString': <'hidden'>")));
    EXPECT_TRUE(result.output.contains(QStringLiteral("'displayImage': <[byte 0x89, 0x50, 0x4e, 0x47")))
        << "PNG bytes";
    EXPECT_TRUE(
        result.output.contains(QStringLiteral("'path': <'%1'>")
                                   .arg(QDir(m_root.filePath(QStringLiteral("shown"))).canonicalPath())));
}

TEST_F(ScriptingServiceTest, SetFolderVisibilityStoresAnswersThenRelaunchesAndRefusesCallsMeanwhile) {
    const std::vector<Folder> folders{makeFolder(QStringLiteral("a"), false),
                                      makeFolder(QStringLiteral("b"), true)};
    Defaults::set(Defaults::Keys::folders(), folders);
    const CallResult result = setVisibility(
        QStringLiteral("{'folder': <['%1']>, 'hideOtherFolders': <true>}").arg(idOf(folders[0])));
    ASSERT_EQ(result.exitCode, 0) << result.error.toStdString();
    EXPECT_EQ(result.output.trimmed(), QStringLiteral("(4,)"));
    const std::vector<Folder> stored = Defaults::get(Defaults::Keys::folders());
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_TRUE(stored[0].isVisible);
    EXPECT_FALSE(stored[1].isVisible);
    // On disk before the relaunch: the new instance reads it from there.
    QFile settings(platform::UserDefaults::standard()->filePath());
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(settings.readAll().toLower().contains(folders[1].id.toString(QUuid::WithoutBraces).toUtf8()));

    EXPECT_TRUE(testing::processEventsUntil([&] { return m_relaunches == 1; }));
    const CallResult during = call(QStringLiteral("org.kestrova.Kestrova.FolderActions1.GetFolders"));
    EXPECT_NE(during.exitCode, 0);
    EXPECT_TRUE(during.error.contains(QLatin1String(ScriptingService::kRelaunchingError)))
        << during.error.toStdString();
    const CallResult again = setVisibility(QStringLiteral("{'folder': <['%1']>}").arg(idOf(folders[1])));
    EXPECT_NE(again.exitCode, 0);
    EXPECT_EQ(Defaults::get(Defaults::Keys::folders()), stored);
    EXPECT_EQ(m_relaunches, 1);
}

TEST_F(ScriptingServiceTest, BadRequestsGetAClearErrorAndChangeNothing) {
    const std::vector<Folder> folders{makeFolder(QStringLiteral("a"), true)};
    Defaults::set(Defaults::Keys::folders(), folders);
    const QString id = idOf(folders[0]);
    const std::vector<std::pair<QString, QString>> refused{
        {QStringLiteral("{'folder': <['nonsense']>}"), QStringLiteral("InvalidArgs")},
        {QStringLiteral("{'folder': <['%1', '']>}").arg(id), QStringLiteral("InvalidArgs")},
        {QStringLiteral("{'folder': <['%1']>}").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)),
         QLatin1String(ScriptingService::kUnknownFolderError)},
        {QStringLiteral("{'folder': <'%1'>}").arg(id), QStringLiteral("InvalidArgs")},
        {QStringLiteral("{'folder': <['%1']>, 'isVisible': <1>}").arg(id), QStringLiteral("InvalidArgs")},
        {QStringLiteral("{'folders': <['%1']>}").arg(id), QStringLiteral("InvalidArgs")},
    };
    for (const auto &[parameters, errorName] : refused) {
        const CallResult result = setVisibility(parameters);
        EXPECT_NE(result.exitCode, 0) << parameters.toStdString();
        EXPECT_TRUE(result.error.contains(errorName))
            << parameters.toStdString() << ": " << result.error.toStdString();
    }
    // gdbus checks types against the introspection before sending; dbus-send sends what it is given.
    QProcess wrongSignature;
    wrongSignature.start(QStringLiteral("dbus-send"),
                         {QStringLiteral("--address=") + m_bus.address(), QStringLiteral("--print-reply"),
                          QStringLiteral("--dest=org.kestrova.Kestrova"),
                          QStringLiteral("/org/kestrova/Kestrova"),
                          QStringLiteral("org.kestrova.Kestrova.FolderActions1.SetFolderVisibility"),
                          QStringLiteral("string:just text")});
    ASSERT_TRUE(testing::processEventsUntil([&] { return wrongSignature.state() == QProcess::NotRunning; }));
    EXPECT_NE(wrongSignature.exitCode(), 0);
    const QByteArray wrongSignatureError = wrongSignature.readAllStandardError();
    EXPECT_TRUE(wrongSignatureError.contains("org.freedesktop.DBus.Error"))
        << wrongSignatureError.toStdString();

    QStringList many;
    for (std::size_t index = 0; index <= SetFolderVisibilityIntentHandler::kMostFolders; ++index)
        many.append(u'\'' + id + u'\'');
    const CallResult huge = setVisibility(QStringLiteral("{'folder': <[%1]>}").arg(many.join(u',')));
    EXPECT_TRUE(huge.error.contains(QStringLiteral("InvalidArgs"))) << huge.error.left(200).toStdString();

    const CallResult settings = call(QStringLiteral("org.kestrova.Kestrova.Application1.ShowSettings"));
    EXPECT_TRUE(settings.error.contains(QLatin1String(ScriptingService::kNotAvailableError)));

    EXPECT_EQ(Defaults::get(Defaults::Keys::folders()), folders);
    EXPECT_EQ(m_relaunches, 0);
    EXPECT_FALSE(m_service->isRelaunching());
}

// Each method of the given XML as "interface.method(in types)->(out types)".
std::set<QString> methodsOf(const QString &xml) {
    std::set<QString> methods;
    QXmlStreamReader reader(xml);
    QString interface, method, in, out;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("interface"))
            interface = reader.attributes().value(QLatin1String("name")).toString();
        else if (reader.isStartElement() && reader.name() == QLatin1String("method"))
            method = reader.attributes().value(QLatin1String("name")).toString(), in.clear(), out.clear();
        else if (reader.isStartElement() && reader.name() == QLatin1String("arg") && !method.isEmpty())
            (reader.attributes().value(QLatin1String("direction")) == QLatin1String("out") ? out : in) +=
                reader.attributes().value(QLatin1String("type")).toString();
        else if (reader.isEndElement() && reader.name() == QLatin1String("method")) {
            if (interface.startsWith(QLatin1String("org.kestrova.")))
                methods.insert(QStringLiteral("%1.%2(%3)->(%4)").arg(interface, method, in, out));
            method.clear();
        }
    }
    return methods;
}

TEST_F(ScriptingServiceTest, TheInstalledInterfaceFilesDescribeTheServiceAsItRuns) {
    const CallResult live =
        gdbus({QStringLiteral("introspect"), QStringLiteral("--xml"), QStringLiteral("--dest"),
               QString::fromLatin1(ScriptingService::kServiceName), QStringLiteral("--object-path"),
               QString::fromLatin1(ScriptingService::kObjectPath)});
    ASSERT_EQ(live.exitCode, 0) << live.error.toStdString();
    std::set<QString> installed;
    for (const char *name :
         {"org.kestrova.Kestrova.FolderActions1.xml", "org.kestrova.Kestrova.Application1.xml"}) {
        QFile file(QStringLiteral(KESTROVA_INTERFACES_PATH "/") + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        installed.merge(methodsOf(QString::fromUtf8(file.readAll())));
    }
    EXPECT_EQ(methodsOf(live.output), installed);
    EXPECT_EQ(installed.size(), 4u);
}

} // namespace
} // namespace kestrova

#include "foundation/app/DataAndSettings.h"
#include "foundation/app/KvApp.h"
#include "foundation/app/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeSharingServices.h"
#include "platform/testing/InMemoryPasteboard.h"
#include "platform/testing/RecordingWorkspace.h"
#include "platform/testing/ScriptedPresenters.h"
#include "screens/support/SupportActions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace kestrova;

namespace {

const EmailAddress kRecipient = EmailAddress::fromStringLiteral("help@example.org");

QString fileText(const QUrl &url) {
    QFile file(url.toLocalFile());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString bodyOf(const QUrl &link) {
    return QUrlQuery(link).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
}

} // namespace

TEST(SupportActionsTest, MailtoLinksEncodeEverythingButUnreservedCharacters) {
    const QUrl link = mailtoURL(
        {kRecipient, EmailAddress::fromStringLiteral("b@example.org")}, QStringLiteral("A & B + C"),
        QStringLiteral("é 100%"),
        {EmailAddress::fromStringLiteral("c@example.org"), EmailAddress::fromStringLiteral("d@example.org")});
    const QByteArray encoded = link.toEncoded();
    EXPECT_TRUE(encoded.startsWith("mailto:help@example.org,b@example.org?")) << encoded.constData();
    EXPECT_TRUE(encoded.contains("subject=A%20%26%20B%20%2B%20C")) << encoded.constData();
    EXPECT_TRUE(encoded.contains("body=%C3%A9%20100%25")) << encoded.constData();
    EXPECT_TRUE(encoded.contains("cc=c%40example.org%2Cd%40example.org")) << encoded.constData();
    EXPECT_FALSE(encoded.contains("bcc="));
    EXPECT_EQ(mailtoURL({}, std::nullopt, std::nullopt).toEncoded(), QByteArray("mailto:"));

    EXPECT_EQ(
        mailtoBodyWithAttachment(QStringLiteral("Hi"), QStringLiteral("debug-info.txt"), QStringLiteral("R")),
        QStringLiteral("Hi\n\n\n\ndebug-info.txt\n------------------------------\n\nR"));
}

TEST(SupportActionsTest, LongReportsAreCutSoThatTheLinkFitsOneArgument) {
    QString report = QStringLiteral("# Kestrova\n\n");
    for (int line = 0; line < 20000; ++line)
        report += QStringLiteral("entry %1 with spaces & ünïcode\n").arg(line);
    const qsizetype limit = 100 * 1024;
    const QUrl link = boundedMailtoURL({kRecipient}, QStringLiteral("Kestrova — Debug info"), std::nullopt,
                                       QStringLiteral("debug-info.txt"), report, limit);
    EXPECT_LE(link.toEncoded().size(), limit);
    EXPECT_GT(link.toEncoded().size(), limit * 8 / 10) << "far more was cut than needed";
    const QString body = bodyOf(link);
    EXPECT_TRUE(body.startsWith(
        QStringLiteral("\n\n\n\ndebug-info.txt\n------------------------------\n\n# Kestrova")));
    EXPECT_TRUE(body.endsWith(QStringLiteral("(cut short: the whole text is in the file debug-info.txt)")));

    const QUrl whole = boundedMailtoURL({kRecipient}, QStringLiteral("s"), std::nullopt,
                                        QStringLiteral("debug-info.txt"), QStringLiteral("short"), limit);
    EXPECT_TRUE(bodyOf(whole).endsWith(QStringLiteral("\n\nshort")));
}

TEST(SupportActionsTest, TheReportGoesToTheMailApplicationAsAFileOrElseIntoALink) {
    kestrova::testing::ScopedRecordingWorkspace workspace;
    kestrova::testing::ScopedFakeSharingServices sharing;
    kestrova::testing::ScopedScriptedPresenters presenters;

    // A mail application that takes attachments gets the file "debug-info.txt" holding the report.
    auto mail = std::make_shared<kestrova::testing::RecordingSharingService>(QStringLiteral("Email"));
    sharing.services().services.push_back(mail);
    emailDebugReport();
    ASSERT_EQ(mail->performed.size(), 1U);
    ASSERT_EQ(mail->performed.front().size(), 1U);
    const QUrl attachment = mail->performed.front().front();
    EXPECT_EQ(QFileInfo(attachment.toLocalFile()).fileName(), QStringLiteral("debug-info.txt"));
    EXPECT_TRUE(fileText(attachment).startsWith(QStringLiteral("# Kestrova ")));
    EXPECT_TRUE(workspace.workspace().requests.empty());

    // One that refuses: the "mailto:" route, with the file shown beside it.
    mail->result = platform::WorkspaceResult::failed(QStringLiteral("no"));
    emailDebugReport();
    ASSERT_EQ(workspace.workspace().requests.size(), 2U);
    const auto &[openRequest, link] = workspace.workspace().requests[0];
    EXPECT_EQ(openRequest, QStringLiteral("open"));
    EXPECT_EQ(link.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(link.path(), EmailAddress::support().rawValue());
    EXPECT_EQ(QUrlQuery(link).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
              QStringLiteral("Kestrova — Debug info"));
    EXPECT_TRUE(bodyOf(link).startsWith(
        QStringLiteral("\n\n\n\ndebug-info.txt\n------------------------------\n\n# Kestrova")));
    EXPECT_EQ(workspace.workspace().requests[1].first, QStringLiteral("reveal"));
    EXPECT_TRUE(presenters.alerts().shownAlerts().empty());

    // No mail application at all: the user hears of it, and no file is shown.
    sharing.services().services.clear();
    workspace.workspace().result = platform::WorkspaceResult::failed(QStringLiteral("nothing opens mailto"));
    workspace.workspace().requests.clear();
    emailDebugReport();
    EXPECT_EQ(workspace.workspace().requests.size(), 1U);
    kestrova::testing::processEventsUntil([&] { return !presenters.alerts().shownAlerts().empty(); });
    EXPECT_EQ(presenters.alerts().shownAlerts().size(), 1U);
}

TEST(SupportActionsTest, CopiesTheReportMarkedWithTheApplication) {
    kestrova::testing::ScopedInMemoryPasteboard clipboard;
    copyDebugReportToPasteboard();
    ASSERT_EQ(clipboard.pasteboard().pasteboardItems().size(), 1U);
    const platform::PasteboardItem item = clipboard.pasteboard().pasteboardItems().front();
    EXPECT_TRUE(item.string(QString::fromLatin1(platform::PasteboardType::string))
                    .startsWith(QStringLiteral("# Kestrova ")));
    EXPECT_EQ(item.string(QString::fromLatin1(platform::PasteboardType::source)),
              QStringLiteral("org.kestrova.Kestrova"));
}

TEST(SupportActionsTest, CrashReportsAreShownOnlyFromARealReadableFolder) {
    QTemporaryDir scratch;
    const QString folder = scratch.path() + QStringLiteral("/reports");
    EXPECT_EQ(crashReportsFolder(folder).state, CrashReportsFolder::State::missing);
    ASSERT_TRUE(QDir().mkpath(scratch.path() + QStringLiteral("/elsewhere")));
    ASSERT_TRUE(QFile::link(scratch.path() + QStringLiteral("/elsewhere"), folder));
    EXPECT_EQ(crashReportsFolder(folder).state, CrashReportsFolder::State::notAFolder);
    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_EQ(crashReportsFolder(folder).state, CrashReportsFolder::State::ready);
    if (::geteuid() != 0) {
        ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::WriteOwner));
        EXPECT_EQ(crashReportsFolder(folder).state, CrashReportsFolder::State::unreadable);
        QFile::setPermissions(folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

// The real Trash: the application's own folders go there whole, with the links inside them as links, and
// nothing they point at, nor anything beside them, is touched.
TEST(SupportActionsTest, TheResetTrashesOnlyTheApplicationsFoldersAndRelaunches) {
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString own = dataHome + QStringLiteral("/kestrova");
    const QString decoy = dataHome + QStringLiteral("/decoy");
    ASSERT_TRUE(QDir().mkpath(own) && QDir().mkpath(decoy) &&
                QDir().mkpath(configHome + QStringLiteral("/kestrova-x")));
    QFile precious(decoy + QStringLiteral("/precious.txt"));
    ASSERT_TRUE(precious.open(QIODevice::WriteOnly) && precious.write("keep") == 4);
    precious.close();
    ASSERT_TRUE(QFile::link(decoy, own + QStringLiteral("/link-to-decoy")));
    ASSERT_TRUE(QFile::link(decoy + QStringLiteral("/precious.txt"), own + QStringLiteral("/link-to-file")));
    platform::UserDefaults::standard()->setObject(platform::PropertyListValue(5),
                                                  QStringLiteral("Kv_launchCount"));

    QStringList relaunches;
    const KvApp::RelaunchOperations saved = KvApp::relaunchOperations();
    KvApp::setRelaunchOperations({.startProcess =
                                      [&](const QString &program, const QStringList &) {
                                          relaunches << program;
                                          return true;
                                      },
                                  .openApplication = [](const QUrl &) { return false; },
                                  .terminate = [&] { relaunches << QStringLiteral("terminate"); },
                                  .exitNow = [&](int) { relaunches << QStringLiteral("exit"); }});
    deleteAppDataAndRelaunch();
    kestrova::testing::processEventsUntil([&] { return relaunches.contains(QStringLiteral("terminate")); });
    KvApp::setRelaunchOperations(saved);

    EXPECT_EQ(relaunches.size(), 2) << relaunches.join(QLatin1Char(',')).toStdString();
    EXPECT_FALSE(QFileInfo::exists(own));
    EXPECT_TRUE(QFileInfo::exists(decoy + QStringLiteral("/precious.txt")));
    EXPECT_TRUE(QFileInfo::exists(configHome + QStringLiteral("/kestrova-x")));
    EXPECT_EQ(QDir(decoy).entryList(QDir::Files), QStringList{QStringLiteral("precious.txt")});
    EXPECT_TRUE(platform::UserDefaults::standard()->persistentDomain().empty());
    // The settings folder went with the rest; the tests after this one write settings again.
    QDir().mkpath(configHome + QStringLiteral("/kestrova"));
}

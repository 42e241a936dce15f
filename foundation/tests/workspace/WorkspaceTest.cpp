#include "foundation/app/ApplicationWindows.h"
#include "foundation/files/FileUrl.h"
#include "foundation/workspace/InstalledApp.h"
#include "foundation/app/KitHelpers.h"
#include "foundation/app/KvApp.h"
#include "foundation/workspace/PasteboardURL.h"
#include "foundation/workspace/Workspace.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/InMemoryPasteboard.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QDir>
#include <QFile>
#include <QUrlQuery>
#include <QWindow>

#include <gtest/gtest.h>

using namespace kestrova;
using platform::PasteboardType::string;
using platform::PasteboardType::uriList;

namespace {
class AppKitWindow : public QWindow {
    Q_OBJECT
};
} // namespace

TEST(WorkspaceTest, FeedbackPageCarriesItsItemsEncoded) {
    const QUrl plain = KvApp::feedbackPageURL();
    const QUrlQuery plainQuery(plain);
    EXPECT_EQ(plainQuery.queryItems().size(), 2);
    EXPECT_EQ(plainQuery.queryItemValue(QStringLiteral("product")), QStringLiteral("Kestrova"));
    EXPECT_TRUE(plainQuery.hasQueryItem(QStringLiteral("metadata")));

    const QUrl withMessage = KvApp::feedbackPageURL(QStringLiteral("a b&c é"), QStringLiteral("x"));
    const QString encoded = QString::fromUtf8(withMessage.toEncoded());
    EXPECT_TRUE(encoded.contains(QStringLiteral("messageField=a%20b%26c%20%C3%A9")) ||
                withMessage.query(QUrl::PrettyDecoded).contains(QStringLiteral("messageField=a%20b%26c%20é")))
        << encoded.toStdString();
    EXPECT_EQ(QUrlQuery(withMessage).queryItemValue(QStringLiteral("messageField"), QUrl::FullyDecoded),
              QStringLiteral("a b&c é"));
    EXPECT_EQ(QUrlQuery(withMessage).queryItemValue(QStringLiteral("extraInfo")), QStringLiteral("x"));
}

TEST(WorkspaceTest, UrlsGoToTheClipboardAsPathsAndAddresses) {
    platform::PasteboardItem file;
    ASSERT_TRUE(setURL(file, QUrl::fromLocalFile(QStringLiteral("/tmp/a b#c"))));
    EXPECT_EQ(file.string(QString::fromLatin1(string)), QStringLiteral("/tmp/a b#c"));
    EXPECT_EQ(file.data(QString::fromLatin1(uriList)), QByteArray("file:///tmp/a%20b%23c\r\n"));

    // A folder has no trailing slash, in its path nor in its URI; a name that is not UTF-8 keeps its bytes:
    // percent-encoded in the URI list, as they are under the bare text type.
    platform::PasteboardItem folder;
    ASSERT_TRUE(setURL(folder, url::fromLocalPath("/tmp/Grüße", /*isDirectory=*/true)));
    EXPECT_EQ(folder.string(QString::fromLatin1(string)), QStringLiteral("/tmp/Grüße"));
    EXPECT_EQ(folder.data(QString::fromLatin1(uriList)), QByteArray("file:///tmp/Gr%C3%BC%C3%9Fe\r\n"));
    platform::PasteboardItem invalid;
    ASSERT_TRUE(setURL(invalid, url::fromLocalPath("/tmp/bad\xff\xfe name")));
    EXPECT_FALSE(invalid.hasType(QString::fromLatin1(string)));
    EXPECT_EQ(invalid.data(QStringLiteral("text/plain")), QByteArray("/tmp/bad\xff\xfe name"));
    EXPECT_EQ(invalid.data(QString::fromLatin1(uriList)), QByteArray("file:///tmp/bad%FF%FE%20name\r\n"));
    platform::PasteboardItem pathOnly;
    ASSERT_TRUE(setFilePath(pathOnly, url::fromLocalPath("/", /*isDirectory=*/true)));
    EXPECT_EQ(pathOnly.string(QString::fromLatin1(string)), QStringLiteral("/"));
    EXPECT_FALSE(pathOnly.hasType(QString::fromLatin1(uriList)));
    EXPECT_FALSE(setFilePath(pathOnly, QUrl(QStringLiteral("https://example.org/"))));

    platform::PasteboardItem mail;
    ASSERT_TRUE(setURL(mail, QUrl(QStringLiteral("mailto:someone@example.org"))));
    EXPECT_EQ(mail.string(QString::fromLatin1(string)), QStringLiteral("someone@example.org"));
    EXPECT_EQ(mail.data(QString::fromLatin1(uriList)), QByteArray("mailto:someone@example.org\r\n"));

    kestrova::testing::ScopedInMemoryPasteboard clipboard;
    ASSERT_TRUE(writeURLs(platform::Pasteboard::general(), {QUrl::fromLocalFile(QStringLiteral("/a")),
                                                            QUrl::fromLocalFile(QStringLiteral("/b"))}));
    const auto items = clipboard.pasteboard().pasteboardItems();
    ASSERT_EQ(items.size(), 1U);
    EXPECT_EQ(items.front().string(QString::fromLatin1(platform::PasteboardType::source)), KvApp::id());
    EXPECT_EQ(items.front().string(QString::fromLatin1(string)), QStringLiteral("/a\n/b"));
}

TEST(WorkspaceTest, InstalledApplicationsComeFromDesktopEntries) {
    const QString applications = QDir::homePath() + QStringLiteral("/.local/share/applications");
    ASSERT_TRUE(QDir().mkpath(applications));
    QFile entry(applications + QStringLiteral("/org.example.Viewer.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Viewer\nExec=true\nX-AppVersion=2.1\n");
    entry.close();

    // The desktop's application index notices new entries through a file monitor.
    std::optional<QUrl> url;
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] {
        return (url = workspace::urlForApplication(QStringLiteral("org.example.Viewer"))).has_value();
    }));
    EXPECT_EQ(url->toLocalFile(), entry.fileName());
    EXPECT_FALSE(workspace::urlForApplication(QStringLiteral("org.example.Missing")));
    EXPECT_FALSE(workspace::urlForApplication(QStringLiteral("../etc/passwd")));
    EXPECT_EQ(workspace::cachedURLForApplication(QStringLiteral("org.example.Viewer")), url);

    const auto app = InstalledApp::fromURL(*url);
    ASSERT_TRUE(app.has_value());
    EXPECT_EQ(app->bundleIdentifier, QStringLiteral("org.example.Viewer"));
    EXPECT_EQ(app->name, QStringLiteral("Viewer"));
    EXPECT_EQ(app->version, QStringLiteral("2.1"));
    EXPECT_FALSE((*app->isBrowser)(app->bundleIdentifier));
    EXPECT_EQ(*app, *app);
    EXPECT_FALSE(*app == *InstalledApp::fromURL(*url)) << "another once-holder makes another record";
}

TEST(WorkspaceTest, NoSettingsPaneOpensOnlyAnExplanation) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    workspace::openFilesAndFoldersPrivacySettings();
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1U);
    EXPECT_TRUE(presenters.alerts().shownAlerts().front().buttons.empty());

    EXPECT_EQ(firstSwiftUIWindow(), nullptr);
    AppKitWindow first, second;
    QWindow plain;
    EXPECT_EQ(firstWindowOfClass({&plain, &first, &second}, applicationWindowClassName()), &first);
    EXPECT_EQ(firstWindowOfClass({&plain}, applicationWindowClassName()), nullptr);
}

#include "WorkspaceTest.moc"

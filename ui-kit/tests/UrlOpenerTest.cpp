#include "ui-kit/utilities/UrlOpener.h"

#include "platform/testing/EventLoop.h"
#include "platform/testing/RecordingWorkspace.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::processEventsUntil;

// The alert the user gets once the failed open has been presented.
platform::Alert shownAlert(testing::ScriptedAlertPresenter &alerts, std::size_t count = 1) {
    EXPECT_TRUE(processEventsUntil([&] { return alerts.shownAlerts().size() >= count; }));
    return alerts.shownAlerts().empty() ? platform::Alert{} : alerts.shownAlerts().back();
}

TEST(UrlOpenerTest, AFailedOpenTellsWhatFailedAndWhatToInstall) {
    testing::ScopedScriptedPresenters presenters;
    testing::ScopedRecordingWorkspace workspace;
    workspace.workspace().result = platform::WorkspaceResult::noApplication(
        QStringLiteral("No application is registered as handling this file"));
    QTemporaryDir scratch;
    ASSERT_TRUE(QDir(scratch.path()).mkpath(QStringLiteral("Reports 2024")));
    const QUrl folder = QUrl::fromLocalFile(scratch.filePath(QStringLiteral("Reports 2024")));

    EXPECT_FALSE(UrlOpener::open(folder));
    ASSERT_EQ(workspace.workspace().requests.size(), 1U);
    EXPECT_EQ(workspace.workspace().requests[0].second, folder);
    platform::Alert alert = shownAlert(presenters.alerts());
    EXPECT_EQ(alert.messageText, QStringLiteral("The folder “Reports 2024” could not be opened."));
    // Our advice alone: the desktop's "No application is registered…" would only say the same, less usefully.
    EXPECT_FALSE(alert.informativeText.contains(QStringLiteral("registered")))
        << alert.informativeText.toStdString();
    EXPECT_TRUE(alert.informativeText.startsWith(QStringLiteral("No application is set to open folders.")));
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Install a file manager")));

    const QUrl guide(QStringLiteral("https://kestrova.org/help#guide"));
    EXPECT_FALSE(UrlOpener::open(guide));
    alert = shownAlert(presenters.alerts(), 2);
    EXPECT_EQ(alert.messageText, QStringLiteral("The page could not be opened."));
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Install a web browser")));
    EXPECT_TRUE(alert.informativeText.contains(guide.toDisplayString())) << "so the user can open it by hand";

    EXPECT_FALSE(UrlOpener::open(QUrl(QStringLiteral("mailto:feedback@kestrova.org"))));
    alert = shownAlert(presenters.alerts(), 3);
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("No mail application")));

    QFile document(scratch.filePath(QStringLiteral("notes.txt")));
    ASSERT_TRUE(document.open(QIODevice::WriteOnly));
    document.write("notes");
    document.close();
    EXPECT_FALSE(UrlOpener::open(QUrl::fromLocalFile(document.fileName())));
    alert = shownAlert(presenters.alerts(), 4);
    EXPECT_EQ(alert.messageText, QStringLiteral("“notes.txt” could not be opened."));
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("“Open With”")));

    // Any other failure keeps the desktop's account: it says what went wrong.
    workspace.workspace().result = platform::WorkspaceResult::failed(
        QStringLiteral("Failed to execute child process “editor” (No such file or directory)"));
    EXPECT_FALSE(UrlOpener::open(QUrl::fromLocalFile(document.fileName())));
    alert = shownAlert(presenters.alerts(), 5);
    EXPECT_TRUE(alert.informativeText.contains(QStringLiteral("Failed to execute child process")));
}

TEST(UrlOpenerTest, ARefusingHandlerIsPresentedAndSuccessShowsNothing) {
    testing::ScopedScriptedPresenters presenters;
    testing::ScopedRecordingWorkspace workspace;
    const QUrl faq(QStringLiteral("https://kestrova.org/help#faq"));

    EXPECT_TRUE(UrlOpener::open(faq));
    ASSERT_EQ(workspace.workspace().requests.size(), 1U);
    EXPECT_EQ(workspace.workspace().requests[0], std::make_pair(QStringLiteral("open"), faq));

    std::vector<QUrl> asked;
    const auto previous = UrlOpener::setHandler([&](const QUrl &url) {
        asked.push_back(url);
        return false;
    });
    EXPECT_FALSE(UrlOpener::open(faq));
    UrlOpener::setHandler(previous);
    EXPECT_EQ(asked, std::vector<QUrl>{faq});
    const platform::Alert alert = shownAlert(presenters.alerts());
    EXPECT_EQ(alert.messageText, QStringLiteral("The page could not be opened."));
    // Only the one failure was presented.
    EXPECT_EQ(presenters.alerts().shownAlerts().size(), 1U);
    EXPECT_EQ(workspace.workspace().requests.size(), 1U);
}

} // namespace
} // namespace kestrova

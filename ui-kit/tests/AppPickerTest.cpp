#include "ui-kit/windows/AppPicker.h"

#include "WindowTestSupport_p.h"
#include "foundation/GeneralError.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::resultOf;

QString writeFile(const QString &path, const QByteArray &data) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
    return path;
}

QByteArray desktopEntry(const char *name, const char *type = "Application") {
    return QByteArray("[Desktop Entry]\nType=") + type + "\nName=" + name +
           "\nExec=true %U\nIcon=text-editor\n";
}

TEST(AppPickerTest, TheHandlerGreysOutOnlyThisApplicationsOwnEntry) {
    AppPicker::OpenPanelDelegateHandler handler;
    EXPECT_EQ(handler.filename, QStringLiteral("org.kestrova.Kestrova.desktop"));
    EXPECT_FALSE(handler.shouldEnableUrl(
        QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/org.kestrova.Kestrova.desktop"))));
    EXPECT_TRUE(handler.shouldEnableUrl(
        QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/org.kestrova.kestrova.desktop"))));
    EXPECT_TRUE(handler.shouldEnableUrl(
        QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/org.example.Editor.desktop"))));
}

TEST(AppPickerTest, OnlyApplicationEntriesPassAndTheCallersCheckCanRefuseThem) {
    QTemporaryDir scratch;
    const QUrl editor = QUrl::fromLocalFile(
        writeFile(scratch.filePath(QStringLiteral("editor.desktop")), desktopEntry("Editor")));
    const QUrl link = QUrl::fromLocalFile(
        writeFile(scratch.filePath(QStringLiteral("site.desktop")), desktopEntry("Site", "Link")));
    const QUrl document =
        QUrl::fromLocalFile(writeFile(scratch.filePath(QStringLiteral("notes.txt")), "hello"));
    const QUrl folder = QUrl::fromLocalFile(scratch.path());

    AppPicker::OpenPanelDelegateHandler handler;
    EXPECT_EQ(handler.validateUrl(editor), std::nullopt);
    for (const QUrl &url : {link, document, folder}) {
        const auto error = handler.validateUrl(url);
        ASSERT_TRUE(error) << url.toString().toStdString();
        EXPECT_EQ(error->localizedDescription(), QStringLiteral("The selected item is not an app."));
        EXPECT_EQ(error->localizedRecoverySuggestion(), QStringLiteral("Please select an app."));
    }

    handler.validate = [](const QUrl &) {
        throw GeneralError(QStringLiteral("This app cannot open folders."));
    };
    const auto refused = handler.validateUrl(editor);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->localizedDescription(), QStringLiteral("This app cannot open folders."));
    // The caller's check is not asked about what is no app at all.
    EXPECT_EQ(handler.validateUrl(document)->localizedDescription(),
              QStringLiteral("The selected item is not an app."));

    const auto application = AppPicker::desktopApplication(editor);
    ASSERT_TRUE(application);
    EXPECT_EQ(application->name, QStringLiteral("Editor"));
    EXPECT_EQ(application->iconName, QStringLiteral("text-editor"));
    EXPECT_EQ(application->desktopFilePath, editor.toLocalFile());
}

TEST(AppPickerTest, ChoosingShowsTheRefusalAndAsksAgain) {
    const QString applications = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    QDir().mkpath(applications);
    const QUrl viewer = QUrl::fromLocalFile(
        writeFile(applications + QStringLiteral("/org.example.Viewer.desktop"), desktopEntry("Viewer")));
    const QUrl hidden =
        QUrl::fromLocalFile(writeFile(applications + QStringLiteral("/org.example.Hidden.desktop"),
                                      desktopEntry("Hidden") + "NoDisplay=true\n"));
    QTemporaryDir scratch;
    const QUrl document =
        QUrl::fromLocalFile(writeFile(scratch.filePath(QStringLiteral("notes.txt")), "hello"));

    kestrova::testing::ScopedScriptedPresenters presenters;
    presenters.openPanels().choose({document});
    presenters.openPanels().choose({viewer});
    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);
    const auto chosen = resultOf(AppPicker::chooseApplication(nullptr));
    ASSERT_TRUE(chosen && *chosen);
    EXPECT_EQ((*chosen)->name, QStringLiteral("Viewer"));
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1u);
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].messageText,
              QStringLiteral("The selected item is not an app."));
    const auto &panels = presenters.openPanels().shownPanels();
    ASSERT_EQ(panels.size(), 2u);
    EXPECT_TRUE(panels[0].canChooseFiles);
    EXPECT_EQ(panels[0].directoryUrl, QUrl::fromLocalFile(applications));
    EXPECT_FALSE(panels[0].shouldEnable(
        QUrl::fromLocalFile(applications + QStringLiteral("/org.kestrova.Kestrova.desktop"))));

    presenters.openPanels().cancel();
    const auto cancelled = resultOf(AppPicker::chooseApplication(nullptr));
    ASSERT_TRUE(cancelled);
    EXPECT_FALSE(*cancelled);

    // The registry lists what the desktop shows in its menus, and not what it hides.
    bool listsViewer = false;
    for (const auto &application : AppPicker::installedApplications()) {
        listsViewer |= application.id == QStringLiteral("org.example.Viewer.desktop");
        EXPECT_NE(application.id, QStringLiteral("org.example.Hidden.desktop"));
    }
    EXPECT_TRUE(listsViewer);
    Q_UNUSED(hidden);
}

} // namespace
} // namespace kestrova

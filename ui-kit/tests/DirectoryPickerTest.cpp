#include "ui-kit/windows/DirectoryPicker.h"
#include "ui-kit/windows/SwiftUIWindowForMenuBarApp.h"

#include "WindowTestSupport_p.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova {
namespace {

using testing::resultOf;

// Every name in `folder` with its contents.
std::map<QString, QByteArray> contentsOf(const QString &folder) {
    std::map<QString, QByteArray> contents;
    for (const QString &name :
         QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        QFile file(folder + QLatin1Char('/') + name);
        contents[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<folder>");
    }
    return contents;
}

void writeFile(const QString &path, const QByteArray &data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// A folder nobody can create files in: the process table for root (which ignores permissions), a folder
// without write permission for anyone else.
QString unwritableFolder(QTemporaryDir &scratch) {
    if (::geteuid() == 0)
        return QStringLiteral("/proc");
    const QString folder = scratch.path() + QStringLiteral("/locked");
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0555);
    return folder;
}

TEST(DirectoryPickerTest, ThePanelAsksForFoldersWithTheGivenOptions) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    presenters.openPanels().cancel();
    presenters.openPanels().choose({QUrl::fromLocalFile(QStringLiteral("/tmp"))});
    presenters.openPanels().choose(
        {QUrl::fromLocalFile(QStringLiteral("/a")), QUrl::fromLocalFile(QStringLiteral("/b"))});

    EXPECT_EQ(resultOf(DirectoryPicker::chooseDirectories({})), std::vector<QUrl>{});
    EXPECT_EQ(resultOf(DirectoryPicker::chooseDirectory(
                  {.prompt = QStringLiteral("Add"), .canCreateDirectories = true})),
              std::optional<std::optional<QUrl>>(QUrl::fromLocalFile(QStringLiteral("/tmp"))));
    const auto both = resultOf(DirectoryPicker::chooseDirectories(
        {.allowsMultipleSelection = true,
         .message = QStringLiteral("Allow access to your folder"),
         .directoryUrl = QUrl::fromLocalFile(QStringLiteral("/home")),
         .accessoryText = QStringLiteral("~/Downloads"),
         .shouldEnable = [](const QUrl &url) { return url.fileName() != QStringLiteral("private"); }}));
    ASSERT_TRUE(both);
    EXPECT_EQ(both->size(), 2u);

    const auto &panels = presenters.openPanels().shownPanels();
    ASSERT_EQ(panels.size(), 3u);
    for (const auto &panel : panels) {
        EXPECT_FALSE(panel.canChooseFiles);
        EXPECT_TRUE(panel.canChooseDirectories);
    }
    EXPECT_EQ(panels[0].prompt, QStringLiteral("Choose"));
    EXPECT_FALSE(panels[0].shouldEnable);
    EXPECT_FALSE(panels[0].allowsMultipleSelection);
    EXPECT_EQ(panels[1].prompt, QStringLiteral("Add"));
    EXPECT_TRUE(panels[1].canCreateDirectories);
    EXPECT_TRUE(panels[2].allowsMultipleSelection);
    EXPECT_EQ(panels[2].message, QStringLiteral("Allow access to your folder"));
    EXPECT_EQ(panels[2].directoryUrl, QUrl::fromLocalFile(QStringLiteral("/home")));
    EXPECT_EQ(panels[2].accessoryText, QStringLiteral("~/Downloads"));
    ASSERT_TRUE(panels[2].shouldEnable);
    EXPECT_FALSE(panels[2].shouldEnable(QUrl::fromLocalFile(QStringLiteral("/home/private"))));
    EXPECT_TRUE(panels[2].shouldEnable(QUrl::fromLocalFile(QStringLiteral("/home/public"))));
}

TEST(DirectoryPickerTest, TheWritabilityCheckLeavesWhatExistsAsItWas) {
    QTemporaryDir scratch;
    const QString folder = scratch.path() + QStringLiteral("/Projects");
    QDir().mkpath(folder + QStringLiteral("/sub"));
    writeFile(folder + QStringLiteral("/notes.txt"), "keep me");
    writeFile(folder + QStringLiteral("/.kestrova-write-check-000000"),
              "an old file with the probe's prefix");
    const auto before = contentsOf(folder);

    EXPECT_EQ(DirectoryPicker::writabilityError(QUrl::fromLocalFile(folder)), std::nullopt);
    EXPECT_EQ(contentsOf(folder), before);

    // A file in place of a folder is refused, and neither emptied nor removed.
    const QString file = folder + QStringLiteral("/notes.txt");
    const auto refused = DirectoryPicker::writabilityError(QUrl::fromLocalFile(file));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->domain(), ErrorDomain::posix);
    EXPECT_EQ(refused->code(), EEXIST);
    EXPECT_EQ(contentsOf(folder), before);

    // A path where nothing is yet can be written: it is created and removed again.
    EXPECT_EQ(DirectoryPicker::writabilityError(QUrl::fromLocalFile(folder + QStringLiteral("/new"))),
              std::nullopt);
    EXPECT_EQ(contentsOf(folder), before);

    const auto readOnly = DirectoryPicker::writabilityError(QUrl::fromLocalFile(unwritableFolder(scratch)));
    ASSERT_TRUE(readOnly);
    EXPECT_EQ(readOnly->localizedDescription(),
              QStringLiteral("The chosen directory is read-only and cannot be used."));
    EXPECT_EQ(readOnly->localizedRecoverySuggestion(), QStringLiteral("Try choosing a different directory."));
}

TEST(DirectoryPickerTest, AFolderThatFailsTheCheckIsShownAndEveryRetryIsCheckedAgain) {
    QTemporaryDir scratch;
    const QUrl readOnly = QUrl::fromLocalFile(unwritableFolder(scratch));
    const QUrl writable = QUrl::fromLocalFile(scratch.path());
    SwiftUIWindowForMenuBarApp window;
    window.show();

    kestrova::testing::ScopedScriptedPresenters presenters;
    presenters.openPanels().choose({writable, readOnly});
    presenters.openPanels().choose({readOnly});
    presenters.openPanels().choose({writable});
    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);
    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);

    const auto chosen =
        resultOf(DirectoryPicker::chooseDirectories({.allowsMultipleSelection = true,
                                                     .window = &window,
                                                     .prompt = QStringLiteral("Add"),
                                                     .shouldEnable = [](const QUrl &) { return true; },
                                                     .ensureWritable = true}));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, std::vector<QUrl>{writable});

    const auto &panels = presenters.openPanels().shownPanels();
    ASSERT_EQ(panels.size(), 3u);
    // The retries keep every option.
    EXPECT_EQ(panels[2].prompt, QStringLiteral("Add"));
    EXPECT_TRUE(panels[2].allowsMultipleSelection);
    EXPECT_TRUE(panels[2].shouldEnable);
    const auto &alerts = presenters.alerts().shownAlerts();
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[0].messageText, QStringLiteral("The chosen directory is read-only and cannot be used."));
    EXPECT_EQ(alerts[0].informativeText, QStringLiteral("Try choosing a different directory."));
    // Shown on the window the chooser belongs to.
    EXPECT_EQ(presenters.alerts().sheetWindows().front(), window.windowHandle());
}

TEST(DirectoryPickerTest, CancellingAfterAFailedCheckGivesNothing) {
    QTemporaryDir scratch;
    kestrova::testing::ScopedScriptedPresenters presenters;
    presenters.openPanels().choose({QUrl::fromLocalFile(unwritableFolder(scratch))});
    presenters.openPanels().cancel();
    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);
    const auto chosen = resultOf(DirectoryPicker::chooseDirectory({.ensureWritable = true}));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, std::nullopt);
    EXPECT_EQ(presenters.alerts().shownAlerts().size(), 1u);
    EXPECT_TRUE(presenters.alerts().sheetWindows().empty());
}

} // namespace
} // namespace kestrova

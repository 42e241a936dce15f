#include "ui-kit/windows/AppPicker.h"
#include "AppChooserTesting_p.h"

#include "WindowTestSupport_p.h"
#include "foundation/errors/GeneralError.h"
#include "platform/testing/FakeApplicationRegistry.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QFile>
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

class AppChooserTest : public ::testing::Test, protected testing::FakeApplications {
protected:
    void SetUp() override {
        fake.registry().installed = {
            editor,
            testing::testApplication(QStringLiteral("Image Viewer"),
                                     QStringLiteral("org.example.Images.desktop")),
            testing::testApplication(QStringLiteral("Kestrova"),
                                     QStringLiteral("org.kestrova.Kestrova.desktop")),
            viewer};
    }
};

TEST_F(AppChooserTest, TypingFiltersTheInstalledApplicationsAndReturnChoosesOne) {
    auto task =
        AppPicker::chooseApplication(nullptr, {}, QStringLiteral("Choose the app to open “notes.txt” with."));
    AppChooserDialog *chooser = testing::shownChooser();
    ASSERT_NE(chooser, nullptr);
    // This application itself is not offered.
    EXPECT_EQ(chooser->visibleNames(), (QStringList{QStringLiteral("Editor"), QStringLiteral("Image Viewer"),
                                                    QStringLiteral("Viewer")}));
    auto *filter = chooser->findChild<QLineEdit *>(QStringLiteral("filter"));
    ASSERT_NE(filter, nullptr);
    ASSERT_TRUE(testing::processEventsUntil([&] { return filter->hasFocus(); }));

    QTest::keyClicks(filter, QStringLiteral("VIEW"));
    EXPECT_EQ(chooser->visibleNames(),
              (QStringList{QStringLiteral("Image Viewer"), QStringLiteral("Viewer")}));
    QTest::keyClick(filter, Qt::Key_Down);
    QTest::keyClick(filter, Qt::Key_Return);
    const auto chosen = resultOf(std::move(task));
    ASSERT_TRUE(chosen && *chosen);
    EXPECT_EQ(**chosen, viewer);
}

TEST_F(AppChooserTest, EscapeChoosesNothingAndARefusedChoiceIsExplainedAndAskedAgain) {
    auto cancelled = AppPicker::chooseApplication(nullptr);
    AppChooserDialog *chooser = testing::shownChooser();
    ASSERT_NE(chooser, nullptr);
    QTest::keyClick(chooser->findChild<QLineEdit *>(QStringLiteral("filter")), Qt::Key_Escape);
    const auto none = resultOf(std::move(cancelled));
    ASSERT_TRUE(none);
    EXPECT_FALSE(*none);

    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);
    auto refusing = AppPicker::chooseApplication(nullptr, [this](const QUrl &url) {
        if (url == editor.url)
            throw GeneralError(QStringLiteral("This app cannot open folders."));
    });
    chooser = testing::shownChooser();
    ASSERT_NE(chooser, nullptr);
    auto *list = chooser->findChild<QListWidget *>(QStringLiteral("applications"));
    ASSERT_NE(list, nullptr);
    // The first row, the editor, is selected: Return in the list chooses it.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(testing::processEventsUntil([&] { return presenters.alerts().shownAlerts().size() == 1; }));
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].messageText,
              QStringLiteral("This app cannot open folders."));

    chooser = testing::shownChooser();
    ASSERT_NE(chooser, nullptr);
    auto *filter = chooser->findChild<QLineEdit *>(QStringLiteral("filter"));
    QTest::keyClicks(filter, QStringLiteral("viewer"));
    QTest::keyClick(filter, Qt::Key_Down);
    QTest::keyClick(filter, Qt::Key_Return);
    const auto chosen = resultOf(std::move(refusing));
    ASSERT_TRUE(chosen && *chosen);
    EXPECT_EQ(**chosen, viewer);
}

} // namespace
} // namespace kestrova

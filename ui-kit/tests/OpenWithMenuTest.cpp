#include "ui-kit/menus/OpenWithMenu.h"

#include "ui-kit/menus/KvMenu.h"
#include "AppChooserTesting_p.h"

#include "foundation/files/FileUrl.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeApplicationRegistry.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace kestrova {
namespace {

using testing::processEventsUntil;

platform::MenuItem &itemTitled(platform::Menu &menu, const QString &title) {
    for (const auto &item : menu.items()) {
        if (item->title() == title)
            return *item;
    }
    ADD_FAILURE() << "no item " << title.toStdString();
    static platform::MenuItem none;
    return none;
}

class OpenWithMenuTest : public ::testing::Test, protected testing::FakeApplications {
protected:
    void SetUp() override { ASSERT_TRUE(m_directory.isValid()); }

    // Made from path bytes, so that names that are not valid UTF-8 can be tested too.
    QUrl makeFile(const QByteArray &name) {
        const QByteArray path = QFile::encodeName(m_directory.path()) + '/' + name;
        const int descriptor = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
        EXPECT_GE(descriptor, 0);
        ::close(descriptor);
        return url::fromLocalPath(path);
    }
    QUrl directory() const { return url::fromLocalPath(QFile::encodeName(m_directory.path()), true); }
    QString path(const QString &name) const { return m_directory.filePath(name); }

private:
    QTemporaryDir m_directory;
};

TEST_F(OpenWithMenuTest, DefaultApplicationFirstEachNameOnceAndOther) {
    const QUrl file = makeFile("notes.txt");
    fake.registry().applicationsForAnyItem = {
        editor, viewer,
        testing::testApplication(QStringLiteral("Editor"), QStringLiteral("flatpak.Editor.desktop")),
        testing::testApplication(QStringLiteral("Preview.app"), QStringLiteral("preview.desktop")),
        testing::testApplication({}, QStringLiteral("unnamed.desktop"))};
    EXPECT_EQ(openWithMenu(file)->dump(), QStringLiteral("\"Editor\"\n"
                                                         "-----\n"
                                                         "\"Viewer\"\n"
                                                         "\"Preview\"\n"
                                                         "\"unnamed.desktop\"\n"
                                                         "-----\n"
                                                         "\"Other…\"\n"));
    ASSERT_EQ(fake.registry().asked.size(), 1U);
    EXPECT_EQ(fake.registry().asked[0], url::localPath(file));

    // A folder's default application is not set apart; only the default gives the doubled separator.
    fake.registry().applicationsForAnyItem = {editor, viewer};
    EXPECT_EQ(openWithMenu(directory())->dump(),
              QStringLiteral("\"Editor\"\n\"Viewer\"\n-----\n\"Other…\"\n"));
    fake.registry().applicationsForAnyItem = {editor};
    EXPECT_EQ(openWithMenu(file)->dump(), QStringLiteral("\"Editor\"\n-----\n-----\n\"Other…\"\n"));
    fake.registry().applicationsForAnyItem = {};
    EXPECT_EQ(openWithMenu(file)->dump(), QStringLiteral("-----\n\"Other…\"\n"));

    // The item builds its submenu only when it opens.
    platform::Menu menu;
    EXPECT_EQ(&addOpenWithItem(menu, file), &menu);
    EXPECT_EQ(menu.dump(), QStringLiteral("\"Open With\" > (not built)\n"));
    fake.registry().applicationsForAnyItem = {viewer};
    menu.items()[0]->submenu()->menuNeedsUpdate();
    menu.items()[0]->submenu()->menuWillOpen();
    EXPECT_EQ(menu.dump(), QStringLiteral("\"Open With\" >\n  \"Viewer\"\n  -----\n  -----\n  \"Other…\"\n"));
}

TEST_F(OpenWithMenuTest, OpensWithRealPathBytesAndPresentsEveryFailure) {
    auto &registry = fake.registry();
    registry.applicationsForAnyItem = {editor, viewer};

    // A name that is not valid UTF-8 reaches the registry byte for byte.
    const QUrl awkward = makeFile("caf\xE9 #1.txt");
    auto menu = openWithMenu(awkward);
    itemTitled(*menu, QStringLiteral("Viewer")).performAction();
    ASSERT_TRUE(processEventsUntil([&] { return !registry.opened.empty(); }));
    EXPECT_EQ(registry.opened[0].first,
              QFile::encodeName(path(QStringLiteral("x"))).chopped(1) + "caf\xE9 #1.txt");
    EXPECT_EQ(registry.opened[0].second, viewer.url);
    EXPECT_TRUE(presenters.alerts().shownAlerts().empty());

    // An application that does not start is presented with the desktop's reason.
    registry.result = platform::WorkspaceResult::failed(QStringLiteral("Failed to execute child process"));
    const QUrl file = makeFile("report.txt");
    menu = openWithMenu(file);
    itemTitled(*menu, QStringLiteral("Editor")).performAction();
    ASSERT_TRUE(processEventsUntil([&] { return presenters.alerts().shownAlerts().size() == 1; }));
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].messageText,
              QStringLiteral("“report.txt” could not be opened with the chosen application."));
    EXPECT_TRUE(presenters.alerts().shownAlerts()[0].informativeText.contains(
        QStringLiteral("Failed to execute child process")));

    // A file deleted after the menu was built is reported and reaches no application.
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("report.txt"))));
    const auto openedBefore = registry.opened.size();
    itemTitled(*menu, QStringLiteral("Viewer")).performAction();
    ASSERT_TRUE(processEventsUntil([&] { return presenters.alerts().shownAlerts().size() == 2; }));
    EXPECT_EQ(presenters.alerts().shownAlerts()[1].messageText,
              QStringLiteral("“report.txt” no longer exists."));
    EXPECT_EQ(registry.opened.size(), openedBefore);
}

TEST_F(OpenWithMenuTest, OtherOffersEveryInstalledApplicationAndOpensWithTheChosenOne) {
    auto &registry = fake.registry();
    registry.installed = {editor, viewer};
    const QUrl document = makeFile("Grüße & 100%.txt");
    auto menu = openWithMenu(document);

    itemTitled(*menu, QStringLiteral("Other…")).performAction();
    AppChooserDialog *chooser = testing::shownChooser();
    ASSERT_NE(chooser, nullptr);
    bool saysWhichItem = false;
    for (const QLabel *label : chooser->findChildren<QLabel *>())
        saysWhichItem |= label->text() == QStringLiteral("Choose the app to open “Grüße & 100%.txt” with.");
    EXPECT_TRUE(saysWhichItem);
    EXPECT_EQ(chooser->visibleNames(), (QStringList{QStringLiteral("Editor"), QStringLiteral("Viewer")}));
    auto *filter = chooser->findChild<QLineEdit *>(QStringLiteral("filter"));
    ASSERT_NE(filter, nullptr);
    QTest::keyClicks(filter, QStringLiteral("view"));
    QTest::keyClick(filter, Qt::Key_Return);
    ASSERT_TRUE(processEventsUntil([&] { return !registry.opened.empty(); }));
    EXPECT_EQ(registry.opened[0], std::make_pair(url::localPath(document), viewer.url));

    itemTitled(*menu, QStringLiteral("Other…")).performAction();
    chooser = testing::shownChooser();
    ASSERT_NE(chooser, nullptr);
    const QPointer<AppChooserDialog> cancelled = chooser;
    QTest::keyClick(chooser->findChild<QLineEdit *>(QStringLiteral("filter")), Qt::Key_Escape);
    ASSERT_TRUE(processEventsUntil([&] { return cancelled.isNull(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(registry.opened.size(), 1U);
    EXPECT_TRUE(presenters.alerts().shownAlerts().empty());
}

} // namespace
} // namespace kestrova

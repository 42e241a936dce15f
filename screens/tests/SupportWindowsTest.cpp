#include "foundation/app/KvApp.h"
#include "foundation/app/Log.h"
#include "foundation/values/EmailAddress.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeStatusBar.h"
#include "platform/testing/InMemoryPasteboard.h"
#include "platform/testing/RecordingWorkspace.h"
#include "platform/testing/ScriptedPresenters.h"
#include "screens/debug/DebugLogScreen.h"
#include "screens/debug/DebugLoggingSettings.h"
#include "screens/debug/DebugScreen.h"
#include "screens/debug/DebugUserDefaultsScreen.h"
#include "screens/debug/DebugWindowController.h"
#include "screens/support/UserDebugWindowController.h"
#include "screens/welcome/WelcomePopover.h"
#include "screens/welcome/WelcomeScreen.h"
#include "screens/welcome/WelcomeWindowController.h"
#include "ui-kit/windows/WindowHelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QLoggingCategory>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrova;
using platform::PropertyListValue;

namespace {

QPushButton *buttonTitled(QWidget *root, const QString &title) {
    for (QPushButton *button : root->findChildren<QPushButton *>())
        if (QString(button->text()).replace(QStringLiteral("&&"), QStringLiteral("&")) == title &&
            button->isVisibleTo(root))
            return button;
    return nullptr;
}

WelcomePopover *shownPopover() {
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *popover = qobject_cast<WelcomePopover *>(widget); popover && popover->isVisible())
            return popover;
    return nullptr;
}

// Animations and the greeting's timers run a hundred times faster; nothing else changes.
class ScreensTest : public ::testing::Test {
protected:
    void SetUp() override { setWindowAnimationTimeScale(0.01); }
    void TearDown() override {
        setWindowAnimationTimeScale(1);
        for (QWidget *window : QApplication::topLevelWidgets())
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

} // namespace

TEST_F(ScreensTest, SupportWindowIsOneFloatingColumnOfButtonsAndAsksBeforeDeleting) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    SingletonWindowController::show<UserDebugWindowController>();
    QWidget *window = SingletonWindowController::shared<UserDebugWindowController>().window();
    SingletonWindowController::show<UserDebugWindowController>();
    EXPECT_EQ(SingletonWindowController::shared<UserDebugWindowController>().window(), window);
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return window->isVisible(); }));
    EXPECT_EQ(window->windowTitle(),
              QStringLiteral("Kestrova ") + KvApp::version() + QStringLiteral(" — Debug"));
    EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    QStringList titles;
    for (QPushButton *button : window->findChildren<QPushButton *>())
        titles << QString(button->text()).replace(QStringLiteral("&&"), QStringLiteral("&"));
    EXPECT_EQ(titles, (QStringList{"Delete Data & Settings", "Copy Debug Info", "Email Debug Info",
                                   "Send Crash Log", "Feedback & Support"}));

    // Cancelled: nothing changes.
    auto defaults = platform::UserDefaults::standard();
    defaults->setObject(PropertyListValue(QStringLiteral("kept")), QStringLiteral("probe"));
    presenters.alerts().answer(platform::ModalResponse::alertSecondButtonReturn);
    QTest::mouseClick(buttonTitled(window, QStringLiteral("Delete Data & Settings")), Qt::LeftButton);
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1U);
    const platform::Alert &question = presenters.alerts().shownAlerts().front();
    EXPECT_EQ(question.messageText, QStringLiteral("Delete all data and settings for Kestrova?"));
    EXPECT_TRUE(question.buttons.at(0).hasDestructiveAction);
    EXPECT_EQ(defaults->string(QStringLiteral("probe")), QStringLiteral("kept"));

    // The crash-report help names our own folder and then shows it (or says that there is none yet).
    kestrova::testing::ScopedRecordingWorkspace workspace;
    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);
    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);
    QTest::mouseClick(buttonTitled(window, QStringLiteral("Send Crash Log")), Qt::LeftButton);
    ASSERT_GE(presenters.alerts().shownAlerts().size(), 2U);
    const platform::Alert &help = presenters.alerts().shownAlerts()[1];
    EXPECT_EQ(help.messageText, QStringLiteral("How to send crash log"));
    EXPECT_TRUE(help.informativeText.contains(QStringLiteral("kestrova/reports")));
    EXPECT_TRUE(help.informativeText.contains(EmailAddress::support().rawValue()));
    EXPECT_EQ(workspace.workspace().requests.size() + presenters.alerts().shownAlerts().size(), 3U);
    EXPECT_TRUE(window->isVisible());

    // No window button, but never in the way for good: Escape leaves it, Ctrl+W closes it.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    QTest::keyClick(window, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(SingletonWindowController::hasShared<UserDebugWindowController>());
}

TEST_F(ScreensTest, WelcomePagesAnswerReturnOnlyOnTheLastPage) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    auto item = std::make_shared<kestrova::testing::FakeStatusItem>();
    item->trayGeometry = QRect(600, 0, 24, 24);
    QWidget window;
    bool finished = false;
    auto *screen = new WelcomeScreen(
        100, [&window] { return &window; },
        [item] { return std::vector<std::shared_ptr<platform::StatusItem>>{item}; }, &window);
    QObject::connect(screen, &WelcomeScreen::didFinish, [&] { finished = true; });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_FALSE(screen->isLastPage());
    QTest::mouseClick(buttonTitled(screen, QStringLiteral("Continue")), Qt::LeftButton);
    EXPECT_TRUE(screen->isLastPage());
    ASSERT_NE(buttonTitled(screen, QStringLiteral("Get Started")), nullptr);

    // Return on the last page: the window flies into the icon and closes, the greeting shows below the icon.
    QTest::keyClick(&window, Qt::Key_Return);
    ASSERT_TRUE(kestrova::testing::processEventsUntil([] { return shownPopover() != nullptr; }));
    EXPECT_FALSE(window.isVisible());
    WelcomePopover *popover = shownPopover();
    EXPECT_EQ(popover->findChild<QLabel *>()->text(), QStringLiteral("Hello, I'm Kestrova"));
    EXPECT_GE(popover->y(), 24);
    EXPECT_LT(std::abs(popover->geometry().center().x() - 612), popover->width());
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return finished; }));
    EXPECT_EQ(shownPopover(), nullptr);
    EXPECT_TRUE(presenters.alerts().shownAlerts().empty());
}

TEST_F(ScreensTest, GetStartedChecksTheIconAndNeverLeavesTheWindowBehind) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);
    // A desktop without a tray: no place to greet from, and the alert says why the icon is missing.
    auto hidden = std::make_shared<kestrova::testing::FakeStatusItem>();
    hidden->trayAvailable = false;
    std::vector<std::shared_ptr<platform::StatusItem>> items{hidden};
    for (const bool withItem : {true, false}) {
        if (!withItem)
            items.clear();
        QWidget window;
        auto *screen = new WelcomeScreen(
            100, [&window] { return &window; }, [&items] { return items; }, &window);
        window.show();
        bool finished = false;
        QObject::connect(screen, &WelcomeScreen::didFinish, [&] { finished = true; });
        kestrova::testing::awaitTask(screen->getStarted());
        EXPECT_TRUE(finished);
        EXPECT_FALSE(window.isVisible()) << "with an item: " << withItem;
    }
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1U);
    EXPECT_EQ(presenters.alerts().shownAlerts().front().messageText,
              QStringLiteral("Tray Icon Did Not Appear"));

    // Switched off by the user is not hidden by the desktop.
    hidden->setVisible(false);
    items = {hidden};
    QWidget window;
    auto *screen = new WelcomeScreen(
        100, [&window] { return &window; }, [&items] { return items; }, &window);
    kestrova::testing::awaitTask(screen->getStarted());
    EXPECT_EQ(presenters.alerts().shownAlerts().size(), 1U);

    EXPECT_EQ(WelcomeScreen::panelEndAnchor(QRect(0, 0, 1000, 600), QRect(0, 30, 1000, 570)),
              QRect(976, 0, 24, 30));
    EXPECT_EQ(WelcomeScreen::panelEndAnchor(QRect(0, 0, 1000, 600), QRect(0, 0, 1000, 560)),
              QRect(976, 560, 24, 40));
    EXPECT_EQ(WelcomeScreen::panelEndAnchor(QRect(0, 0, 1000, 600), QRect(0, 0, 1000, 600)), std::nullopt);
}

TEST_F(ScreensTest, TheLogPageRefreshesOnlyWhileShownAndCopesWithALongLog) {
    InAppLogStore store(100000);
    for (int index = 0; index < 100000; ++index)
        store.append(QStringLiteral("  message %1\n\t[f in File:1]\n\t2026-01-01T00:00:00Z\n").arg(index));
    kestrova::testing::ScopedInMemoryPasteboard clipboard;
    DebugLogScreen screen(store);
    EXPECT_FALSE(screen.isRefreshing());
    screen.show();
    EXPECT_TRUE(screen.isRefreshing());
    ASSERT_EQ(screen.model().rowCount(), 100000);
    EXPECT_EQ(screen.model().data(screen.model().index(0, 0), Qt::DisplayRole).toString(),
              QStringLiteral("message 0\n\t[f in File:1]\n\t2026-01-01T00:00:00Z"));

    store.removeAll();
    store.append(QStringLiteral("a\n"));
    store.append(QStringLiteral("b\n"));
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return screen.model().rowCount() == 2; }));
    EXPECT_EQ(screen.copiedText(), QStringLiteral("a\n\nb\n"));
    screen.hide();
    EXPECT_FALSE(screen.isRefreshing());
    // Nothing runs while hidden: a new entry is not taken until the page shows again.
    store.append(QStringLiteral("c\n"));
    QTest::qWait(0);
    EXPECT_EQ(screen.model().rowCount(), 2);
    screen.show();
    EXPECT_EQ(screen.model().rowCount(), 3);
}

// A key no part of the application registers a default for: a registered default would answer after the delete.
TEST_F(ScreensTest, TheSettingsPageListsTheDumpAndDeletesTheChosenKey) {
    auto defaults = platform::UserDefaults::standard();
    defaults->removeAll();
    defaults->setObject(PropertyListValue(QStringLiteral("x").repeated(100000)), QStringLiteral("huge"));
    defaults->setObject(PropertyListValue(true), QStringLiteral("showsStripes"));
    defaults->setObject(PropertyListValue(2), QStringLiteral("Kv_launchCount"));
    defaults->setObject(PropertyListValue(1), QStringLiteral("NSWindow Frame"));
    DebugUserDefaultsScreen screen(defaults);
    screen.show();
    QTreeWidgetItem *section = screen.list()->topLevelItem(0);
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->text(0), QStringLiteral("Standard"));
    QStringList keys;
    for (int row = 0; row < section->childCount(); ++row)
        keys << section->child(row)->text(0);
    EXPECT_EQ(keys, (QStringList{"Kv_launchCount", "huge", "showsStripes"}));
    EXPECT_LT(section->child(1)->text(1).size(), 3000);
    EXPECT_EQ(section->child(2)->text(1), QStringLiteral("true"));

    section->child(2)->setSelected(true);
    QTest::keyClick(screen.list(), Qt::Key_Delete);
    EXPECT_FALSE(defaults->object(QStringLiteral("showsStripes")).has_value());
    ASSERT_TRUE(kestrova::testing::processEventsUntil(
        [&] { return screen.list()->topLevelItem(0)->childCount() == 2; }));
    EXPECT_TRUE(defaults->object(QStringLiteral("NSWindow Frame")).has_value());
}

TEST_F(ScreensTest, TheDebugWindowShowsItsPagesFromTheSidebar) {
    SingletonWindowController::show<DebugWindowController>();
    auto &controller = SingletonWindowController::shared<DebugWindowController>();
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return controller.window()->isVisible(); }));
    EXPECT_GE(controller.window()->minimumSizeHint().width(), 800);
    DebugScreen *screen = controller.screen();
    ASSERT_EQ(screen->sidebar()->count(), 4);
    EXPECT_EQ(screen->pages()->currentWidget()->objectName(), QStringLiteral("dashboard"));
    auto *logs = screen->findChild<DebugLogScreen *>();
    EXPECT_FALSE(logs->isRefreshing());
    screen->sidebar()->setCurrentRow(2);
    EXPECT_TRUE(logs->isRefreshing());
    screen->sidebar()->setCurrentRow(1);
    EXPECT_FALSE(logs->isRefreshing());
    EXPECT_EQ(DebugWindowController::placement(QSize(800, 400), QSize(1000, 1000)), QPoint(100, 180));
}

TEST_F(ScreensTest, LoggingSwitchesAreStoredRelaunchAndApplyAtTheNextStart) {
    auto defaults = platform::UserDefaults::standard();
    defaults->removeObject(QString::fromLatin1(DebugLoggingSettings::kKey));
    QStringList relaunches;
    const KvApp::RelaunchOperations saved = KvApp::relaunchOperations();
    KvApp::setRelaunchOperations({.startProcess = [&](const QString &, const QStringList &) { return true; },
                                  .openApplication = [](const QUrl &) { return false; },
                                  .terminate = [&] { relaunches << QStringLiteral("terminate"); },
                                  .exitNow = [&](int) { relaunches << QStringLiteral("exit"); }});
    DebugLoggingSettings page;
    page.show();
    QCheckBox *hotKeys = nullptr;
    for (QCheckBox *toggle : page.findChildren<QCheckBox *>())
        if (toggle->text() == QStringLiteral("Log kestrova.hotkeys"))
            hotKeys = toggle;
    ASSERT_NE(hotKeys, nullptr);
    EXPECT_FALSE(hotKeys->isChecked());
    QTest::mouseClick(hotKeys, Qt::LeftButton, {}, QPoint(4, hotKeys->height() / 2));
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return !relaunches.isEmpty(); }));
    KvApp::setRelaunchOperations(saved);
    EXPECT_EQ(relaunches, QStringList{QStringLiteral("terminate")});
    EXPECT_EQ(DebugLoggingSettings::storedCategories(*defaults),
              QStringList{QStringLiteral("kestrova.hotkeys")});

    EXPECT_FALSE(QLoggingCategory("kestrova.hotkeys", QtInfoMsg).isDebugEnabled());
    DebugLoggingSettings::applyStoredRules(*defaults);
    EXPECT_TRUE(QLoggingCategory("kestrova.hotkeys", QtInfoMsg).isDebugEnabled());
    EXPECT_FALSE(QLoggingCategory("kestrova.menubar", QtInfoMsg).isDebugEnabled());
    QLoggingCategory::setFilterRules(QString());
    // Only the application's own categories: a stored name cannot smuggle in other rules.
    EXPECT_EQ(
        DebugLoggingSettings::filterRules({QStringLiteral("qt.*"), QStringLiteral("kestrova.app\n*=true"),
                                           QStringLiteral("kestrova.store")}),
        QStringLiteral("kestrova.store.debug=true"));
    defaults->setObject(PropertyListValue(QStringLiteral("kestrova.store")),
                        QString::fromLatin1(DebugLoggingSettings::kKey));
    EXPECT_TRUE(DebugLoggingSettings::storedCategories(*defaults).isEmpty());
    defaults->removeObject(QString::fromLatin1(DebugLoggingSettings::kKey));
}

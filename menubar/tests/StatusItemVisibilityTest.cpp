#include "menubar/StatusItemVisibility.h"

#include "foundation/app/KvApp.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeStatusBar.h"
#include "platform/testing/InMemorySuite.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::platform::Alert;
using kestrova::platform::ModalResponse::alertFirstButtonReturn;
using kestrova::platform::ModalResponse::alertSecondButtonReturn;
using kestrova::testing::awaitTask;
using kestrova::testing::FakeStatusItem;

namespace {

class StatusItemVisibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedHooks = KvApp::hooks();
        m_hidden->trayAvailable = false;
        m_visible->trayAvailable = true;
        m_visible->trayGeometry = QRect(100, 0, 22, 22);
    }
    void TearDown() override { KvApp::setHooks(m_savedHooks); }

    // One launch's hint, with no wait.
    void check(const std::shared_ptr<FakeStatusItem> &item, std::optional<QString> extraText = std::nullopt) {
        awaitTask(StatusItemVisibility::check(item, std::move(extraText), {.delay = {}, .suite = m_suite}));
    }
    bool isSuppressed() const {
        const auto stored =
            m_suite->object(QString::fromLatin1(StatusItemVisibility::kShouldNotShowAgainKey));
        return stored && stored->getIf<bool>() && *stored->getIf<bool>();
    }

    kestrova::testing::ScopedScriptedPresenters m_presenters;
    std::shared_ptr<platform::UserDefaults> m_suite = kestrova::testing::makeInMemorySuite();
    std::shared_ptr<FakeStatusItem> m_hidden = std::make_shared<FakeStatusItem>();
    std::shared_ptr<FakeStatusItem> m_visible = std::make_shared<FakeStatusItem>();
    KvApp::ApplicationHooks m_savedHooks;
};

QStringList buttonTitles(const Alert &alert) {
    QStringList titles;
    for (const auto &button : alert.buttons)
        titles << button.title;
    return titles;
}

TEST_F(StatusItemVisibilityTest, VisibleItemGetsNoHint) {
    check(m_visible);
    EXPECT_TRUE(m_presenters.alerts().shownAlerts().empty());
    EXPECT_FALSE(isSuppressed());

    // Switched off by the application is not hidden by the desktop.
    m_hidden->setVisible(false);
    check(m_hidden);
    EXPECT_TRUE(m_presenters.alerts().shownAlerts().empty());
}

TEST_F(StatusItemVisibilityTest, HiddenItemHintsEveryLaunchUntilTheBoxIsTicked) {
    KvApp::ApplicationHooks hooks;
    hooks.showSettingsWindow = [] {};
    KvApp::setHooks(hooks);
    m_presenters.alerts().answer(alertFirstButtonReturn);
    check(m_hidden);
    ASSERT_EQ(m_presenters.alerts().shownAlerts().size(), 1u);
    const Alert &alert = m_presenters.alerts().shownAlerts().back();
    EXPECT_EQ(alert.messageText, QStringLiteral("Menu Bar Item Did Not Appear"));
    EXPECT_TRUE(alert.informativeText.startsWith(QStringLiteral("No system tray was found")));
    EXPECT_EQ(buttonTitles(alert), (QStringList{QStringLiteral("OK"), QStringLiteral("Open Settings")}));
    EXPECT_EQ(alert.buttons[0].keyEquivalent, QStringLiteral("\r"));
    EXPECT_TRUE(alert.showsSuppressionButton);
    EXPECT_EQ(alert.suppressionButtonTitle, QStringLiteral("Do not show this again"));
    EXPECT_FALSE(isSuppressed());

    // A tray that gave the icon no place, with an extra text: shown again, and this time switched off.
    KvApp::setHooks({});
    const auto unplaced = std::make_shared<FakeStatusItem>();
    m_presenters.alerts().answer([](Alert &shown) {
        shown.suppressionButtonChecked = true;
        return alertFirstButtonReturn;
    });
    check(unplaced, QStringLiteral("Look in the panel settings."));
    ASSERT_EQ(m_presenters.alerts().shownAlerts().size(), 2u);
    const QString text = m_presenters.alerts().shownAlerts().back().informativeText;
    EXPECT_TRUE(text.startsWith(QStringLiteral("The system tray did not show the icon.")));
    EXPECT_EQ(buttonTitles(m_presenters.alerts().shownAlerts().back()), QStringList{QStringLiteral("OK")})
        << "no Settings window, no button that would open it";
    EXPECT_TRUE(text.endsWith(QStringLiteral(" for the icon to appear.\n\nLook in the panel settings.")));
    EXPECT_TRUE(isSuppressed());

    check(m_hidden);
    EXPECT_EQ(m_presenters.alerts().shownAlerts().size(), 2u);
}

TEST_F(StatusItemVisibilityTest, AnEmbeddingTrayBesideAServiceNoPanelShowsIsATrayAllTheSame) {
    m_hidden->otherKindOfTrayAvailable = true;
    m_presenters.alerts().answer(alertFirstButtonReturn);
    check(m_hidden);
    ASSERT_EQ(m_presenters.alerts().shownAlerts().size(), 1u);
    const QString text = m_presenters.alerts().shownAlerts().back().informativeText;
    EXPECT_FALSE(text.contains(QStringLiteral("No system tray"))) << qPrintable(text);
    EXPECT_TRUE(text.startsWith(QStringLiteral("The system tray here shows only embedded icons")))
        << qPrintable(text);
}

TEST_F(StatusItemVisibilityTest, OpenSettingsBringsTheAppForwardThenOpensSettings) {
    QStringList calls;
    KvApp::ApplicationHooks hooks;
    hooks.activateApplication = [&] { calls << QStringLiteral("activate"); };
    hooks.showSettingsWindow = [&] { calls << QStringLiteral("settings"); };
    KvApp::setHooks(hooks);

    m_presenters.alerts().answer([&](Alert &) {
        calls << QStringLiteral("alert");
        return alertSecondButtonReturn;
    });
    check(m_hidden);
    ASSERT_TRUE(
        kestrova::testing::processEventsUntil([&] { return calls.contains(QStringLiteral("settings")); }));
    // Forward before the alert, and again for the window once the alert has closed.
    EXPECT_EQ(calls, (QStringList{QStringLiteral("activate"), QStringLiteral("alert"),
                                  QStringLiteral("activate"), QStringLiteral("settings")}));
    EXPECT_FALSE(isSuppressed());

    // "OK" opens nothing.
    calls.clear();
    m_presenters.alerts().answer(alertFirstButtonReturn);
    check(m_hidden);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(calls.contains(QStringLiteral("settings")));
}

TEST_F(StatusItemVisibilityTest, ItemGoneDuringTheWaitGetsNoHint) {
    auto item = std::make_shared<FakeStatusItem>();
    auto task = StatusItemVisibility::check(item, std::nullopt, {.delay = {}, .suite = m_suite});
    item.reset();
    awaitTask(std::move(task));
    EXPECT_TRUE(m_presenters.alerts().shownAlerts().empty());
}

} // namespace

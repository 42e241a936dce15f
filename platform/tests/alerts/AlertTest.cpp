#include "platform/alerts/Alert.h"
#include "platform/alerts/OpenPanel.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

using namespace kestrova::platform;

TEST(AlertTest, ReturnGoesToTheFirstButtonOrTheChosenOne) {
    Alert alert;
    alert.addButton(QStringLiteral("Remove"));
    alert.addButton(QStringLiteral("Cancel"));
    alert.addButton(QStringLiteral("Keep"));
    EXPECT_EQ(alert.buttons[0].keyEquivalent, QStringLiteral("\r"));
    EXPECT_EQ(alert.buttons[1].keyEquivalent, QStringLiteral("\x1b"));
    EXPECT_EQ(alert.buttons[2].keyEquivalent, QString());

    alert.setDefaultButton(2);
    EXPECT_EQ(alert.buttons[0].keyEquivalent, QString());
    EXPECT_EQ(alert.buttons[2].keyEquivalent, QStringLiteral("\r"));
    alert.setDefaultButton(-1);
    for (const auto &button : alert.buttons)
        EXPECT_NE(button.keyEquivalent, QStringLiteral("\r"));
    EXPECT_EQ(Alert::responseForButton(1), ModalResponse::alertSecondButtonReturn);
}

TEST(AlertTest, RunAnswersOnALaterTurnWithTheScriptedButton) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    presenters.alerts().answer(ModalResponse::alertSecondButtonReturn);
    auto alert = std::make_shared<Alert>();
    alert->messageText = QStringLiteral("Remove the folder?");
    auto task = AlertPresenter::shared().run(alert);
    EXPECT_TRUE(presenters.alerts().shownAlerts().empty())
        << "the alert must not run inside the caller's turn";
    EXPECT_EQ(kestrova::testing::awaitTask(std::move(task)), ModalResponse::alertSecondButtonReturn);
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1u);
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].messageText, QStringLiteral("Remove the folder?"));

    // Unscripted alerts confirm nothing.
    Alert unexpected;
    unexpected.addButton(QStringLiteral("Delete Everything"));
    EXPECT_EQ(AlertPresenter::shared().runModal(unexpected), ModalResponse::abort);
}

TEST(AlertTest, OpenPanelsAnswerChosenItemsOrCancel) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    const QUrl chosen = QUrl::fromLocalFile(QStringLiteral("/tmp/chosen/"));
    presenters.openPanels().choose({chosen});
    presenters.openPanels().cancel();
    auto panel = std::make_shared<OpenPanel>();
    panel->canChooseDirectories = true;
    EXPECT_EQ(kestrova::testing::awaitTask(OpenPanelPresenter::shared().begin(panel)), ModalResponse::ok);
    EXPECT_EQ(panel->urls, std::vector<QUrl>{chosen});
    EXPECT_EQ(OpenPanelPresenter::shared().runModal(*panel, nullptr), ModalResponse::cancel);
    EXPECT_TRUE(panel->urls.empty());
    EXPECT_EQ(presenters.openPanels().shownPanels().size(), 2u);
}

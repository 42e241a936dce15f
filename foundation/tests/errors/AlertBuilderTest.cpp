#include "foundation/errors/AlertBuilder.h"
#include "foundation/app/RunOnce.h"

#include "foundation/testing/ReportedErrors.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/testing/ScriptedPresenters.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace kestrova;
using platform::Alert;

namespace {

QStringList keyEquivalents(const Alert &alert) {
    QStringList keys;
    for (const auto &button : alert.buttons)
        keys << button.keyEquivalent;
    return keys;
}

} // namespace

TEST(AlertBuilderTest, ButtonsAnswerInOrderAndDestructiveOnesNeverTakeReturn) {
    kestrova::testing::ScopedScriptedPresenters presenters;
    Alert confirm = makeAlert({.title = QStringLiteral("Remove “Downloads” from the menu bar?"),
                               .message = QStringLiteral("The folder itself stays on disk."),
                               .buttons = {QStringLiteral("Remove"), QStringLiteral("Cancel")},
                               .destructiveButtonIndexes = {0, 7}});
    EXPECT_EQ(confirm.messageText, QStringLiteral("Remove “Downloads” from the menu bar?"));
    EXPECT_EQ(confirm.informativeText, QStringLiteral("The folder itself stays on disk."));
    // The first button would answer Return; being destructive it does not, and index 7 is skipped.
    EXPECT_EQ(keyEquivalents(confirm), (QStringList{QString(), QStringLiteral("\x1b")}));
    EXPECT_TRUE(confirm.buttons[0].hasDestructiveAction);
    EXPECT_FALSE(confirm.buttons[1].hasDestructiveAction);
    EXPECT_FALSE(confirm.accessory);

    presenters.alerts().answer(Alert::responseForButton(1));
    EXPECT_EQ(platform::AlertPresenter::shared().runModal(confirm), 1001);
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1u);
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].buttons[0].title, QStringLiteral("Remove"));

    // A chosen default moves Return; -1 leaves none; a destructive default loses it.
    Alert second = makeAlert({.title = QStringLiteral("t"),
                              .buttons = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
                              .defaultButtonIndex = 1});
    EXPECT_EQ(keyEquivalents(second), (QStringList{QString(), QStringLiteral("\r"), QString()}));
    Alert none =
        makeAlert({.title = QStringLiteral("t"), .buttons = {QStringLiteral("A")}, .defaultButtonIndex = -1});
    EXPECT_EQ(keyEquivalents(none), QStringList{QString()});
    Alert destructiveDefault = makeAlert({.title = QStringLiteral("t"),
                                          .buttons = {QStringLiteral("Keep"), QStringLiteral("Delete")},
                                          .defaultButtonIndex = 1,
                                          .destructiveButtonIndexes = {1}});
    EXPECT_EQ(keyEquivalents(destructiveDefault), (QStringList{QString(), QString()}));

    // A default outside the buttons is reported and the first button keeps Return.
    kestrova::testing::ReportedErrors reported;
    Alert outside =
        makeAlert({.title = QStringLiteral("t"), .buttons = {QStringLiteral("OK")}, .defaultButtonIndex = 3});
    EXPECT_EQ(keyEquivalents(outside), QStringList{QStringLiteral("\r")});
    EXPECT_EQ(reported.errors().size(), 1);
}

TEST(AlertBuilderTest, DetailTextAndWidthBecomeTheAccessory) {
    Alert detail = makeAlert({.title = QStringLiteral("Could not read the folder."),
                              .detailText = QStringLiteral("Permission denied"),
                              .showsSuppressionButton = true,
                              .suppressionButtonTitle = QStringLiteral("Don’t ask again")});
    ASSERT_TRUE(detail.accessory);
    EXPECT_EQ(detail.accessory->detailText, QStringLiteral("Permission denied"));
    // No width: the presenter matches the message text's width.
    EXPECT_FALSE(detail.accessory->width);
    EXPECT_EQ(detail.accessory->height, 120);
    EXPECT_TRUE(detail.showsSuppressionButton);
    EXPECT_EQ(detail.suppressionButtonTitle, QStringLiteral("Don’t ask again"));

    Alert wide = makeAlert({.title = QStringLiteral("t"), .minimumWidth = 400});
    ASSERT_TRUE(wide.accessory);
    EXPECT_FALSE(wide.accessory->detailText);
    EXPECT_EQ(wide.accessory->width, 400);
    EXPECT_EQ(wide.accessory->height, 0);
}

TEST(AlertBuilderTest, RunOnceIsTrueOnlyTheFirstTimeAlsoAfterARelaunch) {
    QTemporaryDir directory;
    const QString file = directory.filePath(QStringLiteral("suite.plist"));
    {
        platform::UserDefaults suite(file);
        EXPECT_TRUE(KvApp::runOnce(QStringLiteral("welcome"), suite));
        EXPECT_FALSE(KvApp::runOnce(QStringLiteral("welcome"), suite));
        EXPECT_TRUE(KvApp::runOnce(QStringLiteral("other"), suite));
        ASSERT_TRUE(suite.synchronize());
    }
    platform::UserDefaults relaunched(file);
    EXPECT_FALSE(KvApp::runOnce(QStringLiteral("welcome"), relaunched));
    EXPECT_EQ(relaunched.object(QStringLiteral("Kv_App_runOnce__welcome")),
              platform::PropertyListValue(true));

    EXPECT_TRUE(KvApp::runOnce(QStringLiteral("standard")));
    EXPECT_FALSE(KvApp::runOnce(QStringLiteral("standard")));
}

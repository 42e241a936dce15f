#include "foundation/errors/AlertBuilder.h"
#include "foundation/errors/AlertRunning.h"
#include "foundation/errors/ErrorPresentation.h"
#include "foundation/errors/GeneralError.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::testing::ScopedScriptedPresenters;

namespace {

Error errorWith(const QString &description, std::optional<QString> reason,
                std::optional<QString> suggestion) {
    UserInfo info{{QString(ErrorKey::localizedDescription), description}};
    if (reason)
        info.insert(QString(ErrorKey::localizedFailureReason), *reason);
    if (suggestion)
        info.insert(QString(ErrorKey::localizedRecoverySuggestion), *suggestion);
    return Error(QStringLiteral("Test"), 7, info);
}

// A presenter whose sheets end only when the test says so.
class HeldSheetPresenter : public kestrova::testing::ScriptedAlertPresenter {
public:
    void beginSheet(platform::Alert &, QWindow *, std::function<void(int)> completion) override {
        m_completion = std::move(completion);
    }
    void endSheet(int response) { std::exchange(m_completion, nullptr)(response); }
    bool isShowingSheet() const { return m_completion != nullptr; }

private:
    std::function<void(int)> m_completion;
};

} // namespace

TEST(ErrorPresentationTest, AlertTextFollowsTheErrorsTexts) {
    auto content = errorWith(QStringLiteral("Could not open “a”."), QStringLiteral("It is gone."),
                             QStringLiteral("Choose another."));
    EXPECT_EQ(errorAlertContent(content).title, QStringLiteral("Could not open “a”."));
    EXPECT_EQ(errorAlertContent(content).message, QStringLiteral("It is gone.\n\nChoose another."));

    const auto contained = errorWith(QStringLiteral("Could not open: It is gone."),
                                     QStringLiteral("It is gone."), QStringLiteral("Choose another."));
    EXPECT_EQ(errorAlertContent(contained).message, QStringLiteral("Choose another."));
    const auto bare =
        errorWith(QStringLiteral("Could not open: It is gone."), QStringLiteral("It is gone."), {});
    EXPECT_FALSE(errorAlertContent(bare).message.has_value());

    int attempted = -1;
    const QList<ErrorRecoveryAttempter::Option> options{{QStringLiteral("Retry"),
                                                         [&] {
                                                             attempted = 0;
                                                             return true;
                                                         }},
                                                        {QStringLiteral("Reset"),
                                                         [&] {
                                                             attempted = 1;
                                                             return true;
                                                         }},
                                                        {QStringLiteral("Quit"), [&] {
                                                             attempted = 2;
                                                             return true;
                                                         }}};
    const GeneralError recoverable(QStringLiteral("Failed"), std::nullopt, {}, std::nullopt, {}, options);
    EXPECT_EQ(errorAlertContent(recoverable).buttons,
              (QStringList{QStringLiteral("Retry"), QStringLiteral("Reset"), QStringLiteral("Cancel")}));
    EXPECT_TRUE(errorAlertContent(content).buttons.isEmpty());

    ScopedScriptedPresenters presenters;
    presenters.alerts().answer(platform::ModalResponse::alertSecondButtonReturn);
    bool done = false;
    QCoro::connect(presentAsync(recoverable, nullptr), qApp, [&] { done = true; });
    EXPECT_FALSE(done) << "the alert runs on a later turn";
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return done; }));
    EXPECT_EQ(attempted, 1);
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1U);
    EXPECT_EQ(presenters.alerts().sheetWindows().size(), 0U) << "no window: application-modal";
}

TEST(ErrorPresentationTest, SheetResumesTheCallerOnlyWhenDismissed) {
    auto presenter = std::make_shared<HeldSheetPresenter>();
    platform::AlertPresenter::setShared(presenter);
    QWindow window;
    bool done = false;
    QCoro::connect(presentAsync(errorWith(QStringLiteral("Failed"), {}, {}), &window), qApp,
                   [&] { done = true; });
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return presenter->isShowingSheet(); }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(done);
    presenter->endSheet(platform::ModalResponse::alertFirstButtonReturn);
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return done; }));
    platform::AlertPresenter::setShared(nullptr);
}

TEST(ErrorPresentationTest, ModalSheetEndedBeforeItsLoopLeavesNoLoopRunning) {
    // The scripted presenter ends every sheet at once, before the modal loop's turn comes.
    ScopedScriptedPresenters presenters;
    presenters.alerts().answer(platform::ModalResponse::alertFirstButtonReturn);
    QWindow window;
    bool escaped = false;
    // Should a loop be left running, this ends it so that the test fails instead of hanging.
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        escaped = true;
        QCoreApplication::exit(1);
    });
    rescue.start(4000);
    presentAsModalSheet(errorWith(QStringLiteral("Failed"), {}, {}), &window);
    bool later = false;
    QTimer::singleShot(0,
                       [&] { QTimer::singleShot(0, [&] { QTimer::singleShot(0, [&] { later = true; }); }); });
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return later || escaped; }));
    EXPECT_FALSE(escaped);
    EXPECT_EQ(presenters.alerts().sheetWindows().size(), 1U);

    // With a sheet that ends later, the loop runs until then and returns the button.
    auto held = std::make_shared<HeldSheetPresenter>();
    platform::AlertPresenter::setShared(held);
    QTimer::singleShot(0, [&] { held->endSheet(1001); });
    platform::Alert alert = makeAlert({.title = QStringLiteral("Question")});
    EXPECT_EQ(runModalSheet(alert, &window), 1001);
    EXPECT_FALSE(escaped);
}

TEST(ErrorPresentationTest, FunctionKeysAndTheReadOnlyDirectoryError) {
    EXPECT_EQ(functionKeys().size(), 35U);
    EXPECT_TRUE(functionKeys().count(Qt::Key_F1));
    EXPECT_TRUE(functionKeys().count(Qt::Key_F35));
    EXPECT_FALSE(functionKeys().count(Qt::Key_Escape));
    EXPECT_EQ(readOnlyDirectoryError().localizedDescription(),
              QStringLiteral("The chosen directory is read-only and cannot be used."));
}

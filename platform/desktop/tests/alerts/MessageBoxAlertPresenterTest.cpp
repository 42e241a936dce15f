#include "platform/desktop/alerts/MessageBoxAlertPresenter.h"
#include "platform/testing/EventLoop.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>

using namespace kestrova::platform;
using kestrova::platform::desktop::MessageBoxAlertPresenter;

namespace {

// The box's buttons sorted by where they are drawn, left to right.
std::vector<QPushButton *> buttonsInVisualOrder(QMessageBox &box) {
    std::vector<QPushButton *> buttons;
    for (QAbstractButton *button : box.buttons())
        buttons.push_back(qobject_cast<QPushButton *>(button));
    std::sort(buttons.begin(), buttons.end(), [](QPushButton *lhs, QPushButton *rhs) {
        return lhs->mapToGlobal(QPoint()).x() < rhs->mapToGlobal(QPoint()).x();
    });
    return buttons;
}

// Runs `act` on the modal box once it shows.
void whenModalBoxShows(std::function<void(QMessageBox &)> act) {
    QTimer::singleShot(0, qApp, [act = std::move(act)] {
        ASSERT_TRUE(kestrova::testing::processEventsUntil(
            [] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()) != nullptr; }));
        act(*qobject_cast<QMessageBox *>(QApplication::activeModalWidget()));
    });
}

Alert deleteQuestion() {
    Alert alert;
    alert.messageText = QStringLiteral("Delete everything?");
    alert.buttons = {{QStringLiteral("Delete"), {}, true},
                     {QStringLiteral("Cancel"), QStringLiteral("\x1b"), false},
                     {QStringLiteral("Later"), QStringLiteral("\r"), false}};
    return alert;
}

} // namespace

TEST(MessageBoxAlertPresenterTest, TheFirstButtonSitsRightmostAndTheOthersFollowLeftwards) {
    const Alert alert = deleteQuestion();
    const auto box = MessageBoxAlertPresenter::makeMessageBox(alert);
    box->show();
    const auto buttons = buttonsInVisualOrder(*box);
    ASSERT_EQ(buttons.size(), 3U);
    EXPECT_EQ(buttons[0]->text(), QStringLiteral("Later"));
    EXPECT_EQ(buttons[1]->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(buttons[2]->text(), QStringLiteral("Delete"));
    EXPECT_EQ(box->defaultButton(), buttons[0]);
    EXPECT_EQ(box->escapeButton(), buttons[1]);
    EXPECT_EQ(box->icon(), QMessageBox::Warning);

    QTest::keyClick(box.get(), Qt::Key_Return);
    EXPECT_EQ(MessageBoxAlertPresenter::responseOf(*box), 1002);
}

TEST(MessageBoxAlertPresenterTest, ButtonsAddedTheUsualWayMakeTheRightmostOneTheDefault) {
    Alert alert;
    alert.messageText = QStringLiteral("Tray Icon Did Not Appear");
    alert.addButton(QStringLiteral("OK"));
    alert.addButton(QStringLiteral("Open Settings"));
    alert.addButton(QStringLiteral("Cancel"));
    const auto box = MessageBoxAlertPresenter::makeMessageBox(alert);
    box->show();
    const auto buttons = buttonsInVisualOrder(*box);
    ASSERT_EQ(buttons.size(), 3U);
    EXPECT_EQ(buttons[0]->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(buttons[1]->text(), QStringLiteral("Open Settings"));
    EXPECT_EQ(buttons[2]->text(), QStringLiteral("OK"));
    EXPECT_EQ(box->defaultButton(), buttons[2]);
    EXPECT_TRUE(buttons[2]->isDefault());
    EXPECT_EQ(box->escapeButton(), buttons[0]);

    QTest::keyClick(box.get(), Qt::Key_Return);
    EXPECT_EQ(MessageBoxAlertPresenter::responseOf(*box), 1000);
}

TEST(MessageBoxAlertPresenterTest, DestructiveButtonNeverAnswersReturn) {
    Alert alert;
    alert.messageText = QStringLiteral("Delete?");
    alert.buttons = {{QStringLiteral("Delete"), QStringLiteral("\r"), true},
                     {QStringLiteral("Cancel"), QStringLiteral("\x1b"), false}};
    const auto box = MessageBoxAlertPresenter::makeMessageBox(alert);
    box->show();
    EXPECT_EQ(box->defaultButton(), nullptr);
    QTest::keyClick(box.get(), Qt::Key_Return);
    EXPECT_EQ(box->clickedButton(), nullptr);
    EXPECT_TRUE(box->isVisible());
    QTest::keyClick(box.get(), Qt::Key_Escape);
    EXPECT_EQ(MessageBoxAlertPresenter::responseOf(*box), 1001);
}

TEST(MessageBoxAlertPresenterTest, AlertWithoutButtonsGetsOneConfirmingButton) {
    Alert alert;
    alert.messageText = QStringLiteral("Click “Files and Folders” in the list.");
    alert.informativeText = QStringLiteral("More");
    alert.alertStyle = Alert::Style::critical;
    const auto box = MessageBoxAlertPresenter::makeMessageBox(alert);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons().front()->text(), QStringLiteral("OK"));
    EXPECT_EQ(box->text(), alert.messageText);
    EXPECT_EQ(box->informativeText(), QStringLiteral("More"));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
}

TEST(MessageBoxAlertPresenterTest, RunModalAnswersTheClickedButtonAndTheSuppressionBox) {
    Alert alert = deleteQuestion();
    alert.showsSuppressionButton = true;
    alert.accessory = Alert::Accessory{QStringLiteral("line one\nline two"), 300.0, 0};

    QString detailShown;
    whenModalBoxShows([&](QMessageBox &box) {
        if (auto *detail = box.findChild<QPlainTextEdit *>(QStringLiteral("detailText")))
            detailShown = detail->toPlainText();
        ASSERT_NE(box.checkBox(), nullptr);
        box.checkBox()->setChecked(true);
        buttonsInVisualOrder(box)[1]->click();
    });
    EXPECT_EQ(MessageBoxAlertPresenter().runModal(alert), 1001);
    EXPECT_TRUE(alert.suppressionButtonChecked);
    EXPECT_EQ(detailShown, QStringLiteral("line one\nline two"));
}

TEST(MessageBoxAlertPresenterTest, SheetIsModalForItsWindowAndReportsItsEnd) {
    QWindow window;
    window.resize(400, 300);
    window.show();

    Alert alert = deleteQuestion();
    std::optional<int> response;
    MessageBoxAlertPresenter().beginSheet(alert, &window, [&](int answer) { response = answer; });

    QMessageBox *box = nullptr;
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *candidate = qobject_cast<QMessageBox *>(widget); candidate && candidate->isVisible())
                box = candidate;
        return box != nullptr;
    }));
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    ASSERT_NE(box->windowHandle(), nullptr);
    EXPECT_EQ(box->windowHandle()->transientParent(), &window);
    EXPECT_FALSE(response.has_value());

    // The rightmost button is the alert's first.
    buttonsInVisualOrder(*box).back()->click();
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return response.has_value(); }));
    EXPECT_EQ(*response, 1000);
}

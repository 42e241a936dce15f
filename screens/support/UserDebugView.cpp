#include "UserDebugView.h"

#include "SupportActions.h"
#include "foundation/app/KvApp.h"
#include "foundation/errors/AlertBuilder.h"
#include "platform/alerts/Alert.h"
#include "platform/reports/CrashReporter.h"

#include <QDir>
#include <QFrame>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova {
namespace {

QFrame *divider(QWidget *parent) {
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

UserDebugView::UserDebugView(QWidget *parent)
    : QWidget(parent) {
    auto *column = new QVBoxLayout(this);
    column->setAlignment(Qt::AlignHCenter);
    column->setContentsMargins(32, 24, 32, 24);
    const auto addButton = [&](QString title, auto action) {
        // "&" marks a mnemonic in a button's text: doubled, it shows as itself.
        auto *button = new QPushButton(title.replace(QLatin1Char('&'), QStringLiteral("&&")), this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action);
        column->addWidget(button);
        return button;
    };
    QPushButton *deletion =
        addButton(QStringLiteral("Delete Data & Settings"), &UserDebugView::confirmDeletion);
    deletion->setObjectName(QStringLiteral("destructive"));
    deletion->setStyleSheet(QStringLiteral("QPushButton { color: #c0392b; }"));
    column->addWidget(divider(this));
    addButton(QStringLiteral("Copy Debug Info"), [] { copyDebugReportToPasteboard(); });
    addButton(QStringLiteral("Email Debug Info"), [] { emailDebugReport(); });
    column->addWidget(divider(this));
    addButton(QStringLiteral("Send Crash Log"), &UserDebugView::showCrashLogInstructions);
    column->addWidget(divider(this));
    addButton(QStringLiteral("Feedback & Support"), [] { openFeedbackPageAndQuit(); });
    column->addWidget(divider(this));
}

void UserDebugView::confirmDeletion() {
    m_isConfirmationDialogPresented = true;
    platform::Alert alert =
        makeAlert({.title = QStringLiteral("Delete all data and settings for %1?").arg(KvApp::name()),
                   .buttons = {QStringLiteral("Delete"), QStringLiteral("Cancel")},
                   .defaultButtonIndex = -1,
                   .destructiveButtonIndexes = {0}});
    const int response = platform::AlertPresenter::shared().runModal(alert);
    m_isConfirmationDialogPresented = false;
    if (response == platform::ModalResponse::alertFirstButtonReturn)
        deleteAppDataAndRelaunch();
}

void UserDebugView::showCrashLogInstructions() {
    m_isCrashLogInstructionsPresented = true;
    const QString folder = QDir::toNativeSeparators(platform::CrashReporter::shared().reportsDirectory());
    platform::Alert alert = makeAlert(
        {.title = QStringLiteral("How to send crash log"),
         .message = QStringLiteral("Find the files in the “reports” folder (%1) and email them to %2.")
                        .arg(folder, EmailAddress::support().rawValue()),
         .style = platform::Alert::Style::informational,
         .buttons = {QStringLiteral("Reveal “reports” Folder")}});
    platform::AlertPresenter::shared().runModal(alert);
    m_isCrashLogInstructionsPresented = false;
    revealCrashReports();
}

} // namespace kestrova

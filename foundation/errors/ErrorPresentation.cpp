#include "ErrorPresentation.h"

#include "ErrorRecoveryAttempter.h"
#include "foundation/app/KvApp.h"

#include <QCoreApplication>
#include <QCoro/QCoroTimer>
#include <QEventLoop>
#include <QTimer>

#include <coroutine>
#include <memory>

namespace kestrova {
namespace {

std::shared_ptr<ErrorRecoveryAttempter> recoveryAttempter(const Error &error) {
    return error.userInfo()
        .value(QString(ErrorKey::recoveryAttempter))
        .value<std::shared_ptr<ErrorRecoveryAttempter>>();
}

QStringList recoveryOptions(const Error &error) {
    return error.userInfo().value(QString(ErrorKey::localizedRecoveryOptions)).toStringList();
}

// A recovery option's button asks the attempter; "OK" and "Cancel" do nothing more.
void handleResponse(const Error &error, int response) {
    const int index = response - platform::ModalResponse::alertFirstButtonReturn;
    const auto attempter = recoveryAttempter(error);
    if (attempter && index >= 0 && index < recoveryOptions(error).size())
        attempter->attemptRecovery(error, index);
}

void postToMainThread(std::function<void()> work) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

QCoro::Task<> nextTurn() {
    QTimer turn;
    turn.setSingleShot(true);
    turn.start(0);
    co_await turn;
}

void activateApplication() {
    if (const auto activate = KvApp::hooks().activateApplication)
        activate();
}

// Suspends the caller until the sheet it begins has ended.
struct SheetAwaiter {
    Error error;
    QWindow *window;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> caller) {
        // The presenter may end the sheet before it returns; the caller then resumes from here, and nothing
        // of this awaiter is touched afterwards.
        presentErrorAsSheet(error, window, [caller] { caller.resume(); });
    }
    void await_resume() const noexcept {}
};

} // namespace

ErrorAlertContent errorAlertContent(const Error &error) {
    ErrorAlertContent content;
    content.title = error.localizedDescription();
    const auto reason = error.localizedFailureReason();
    const auto suggestion = error.localizedRecoverySuggestion();
    if (reason && !content.title.contains(*reason)) {
        QStringList parts{*reason};
        if (suggestion)
            parts << *suggestion;
        content.message = parts.join(QStringLiteral("\n\n"));
    } else {
        content.message = suggestion;
    }
    const QStringList options = recoveryOptions(error);
    if (!options.isEmpty() && recoveryAttempter(error)) {
        content.buttons = options.mid(0, 2);
        content.buttons << QStringLiteral("Cancel");
    }
    return content;
}

platform::Alert alertForError(const Error &error) {
    const ErrorAlertContent content = errorAlertContent(error);
    platform::Alert alert;
    alert.messageText = content.title;
    alert.informativeText = content.message.value_or(QString());
    alert.alertStyle = platform::Alert::Style::warning;
    const QStringList options = recoveryAttempter(error) ? recoveryOptions(error) : QStringList();
    for (const QString &option : options)
        alert.addButton(option);
    if (options.isEmpty())
        alert.addButton(QStringLiteral("OK"));
    return alert;
}

void presentErrorAsSheet(const Error &error, QWindow *window, std::function<void()> didPresent) {
    auto alert = std::make_shared<platform::Alert>(alertForError(error));
    platform::AlertPresenter::shared().beginSheet(
        *alert, window, [alert, error, didPresent = std::move(didPresent)](int response) {
            handleResponse(error, response);
            if (didPresent)
                didPresent();
        });
}

QCoro::Task<> presentAsSheet(Error error, QWindow *window) {
    co_await nextTurn();
    // A named awaiter: GCC 12 mishandles the lifetime of a temporary awaiter that holds an error.
    SheetAwaiter awaiter{std::move(error), window};
    co_await awaiter;
}

QCoro::Task<> presentAsModalAsync(Error error) {
    co_await nextTurn();
    activateApplication();
    platform::Alert alert = alertForError(error);
    handleResponse(error, platform::AlertPresenter::shared().runModal(alert));
}

QCoro::Task<> presentAsync(Error error, QWindow *window) {
    if (window)
        co_await presentAsSheet(std::move(error), window);
    else
        co_await presentAsModalAsync(std::move(error));
}

void presentAsModal(const Error &error) {
    postToMainThread([error] {
        activateApplication();
        platform::Alert alert = alertForError(error);
        handleResponse(error, platform::AlertPresenter::shared().runModal(alert));
    });
}

void presentAsModalSheet(const Error &error, QWindow *window) {
    if (!window) {
        presentAsModal(error);
        return;
    }
    struct SheetState {
        bool dismissed = false;
        QEventLoop *loop = nullptr;
    };
    auto state = std::make_shared<SheetState>();
    postToMainThread([error, window, state] {
        presentErrorAsSheet(error, window, [state] {
            state->dismissed = true;
            if (state->loop)
                state->loop->quit();
        });
        postToMainThread([state] {
            // The sheet may already have ended; a loop started now would never be stopped.
            if (state->dismissed)
                return;
            QEventLoop loop;
            state->loop = &loop;
            loop.exec(QEventLoop::DialogExec);
            state->loop = nullptr;
        });
    });
}

const Error &readOnlyDirectoryError() {
    static const Error error(QString(ErrorDomain::system), 642,
                             {{QString(ErrorKey::localizedDescription),
                               QStringLiteral("The chosen directory is read-only and cannot be used.")},
                              {QString(ErrorKey::localizedRecoverySuggestion),
                               QStringLiteral("Try choosing a different directory.")}});
    return error;
}

} // namespace kestrova

#include "ErrorPresentation.h"

#include "OneShotCompletion_p.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace kestrova {

platform::Alert alertForError(const Error &error) {
    platform::Alert alert;
    alert.alertStyle = platform::Alert::Style::warning;
    alert.messageText = error.localizedDescription();
    QStringList details;
    if (const auto reason = error.localizedFailureReason(); reason && !reason->isEmpty())
        details << *reason;
    if (const auto suggestion = error.localizedRecoverySuggestion(); suggestion && !suggestion->isEmpty())
        details << *suggestion;
    alert.informativeText = details.join(QLatin1Char('\n'));
    alert.addButton(QStringLiteral("OK"));
    return alert;
}

QCoro::Task<> presentErrorAsync(const Error &error, QWidget *window) {
    auto alert = std::make_shared<platform::Alert>(alertForError(error));
    QWindow *sheetParent = window ? window->window()->windowHandle() : nullptr;
    if (!sheetParent) {
        co_await platform::AlertPresenter::shared().run(alert);
        co_return;
    }
    OneShotCompletion dismissed;
    QPointer<OneShotCompletion> guarded = &dismissed;
    // The presenter works on the alert until the sheet ends; the completion keeps it alive until then.
    platform::AlertPresenter::shared().beginSheet(*alert, sheetParent, [guarded, alert](int) {
        if (guarded)
            guarded->fire();
    });
    co_await dismissed.wait();
}

} // namespace kestrova

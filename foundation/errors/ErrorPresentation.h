#pragma once

#include "Error.h"
#include "platform/alerts/Alert.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>
#include <optional>

class QWindow;

namespace kestrova {

// What the kit's error alert shows for an error.
struct ErrorAlertContent {
    QString title;
    std::optional<QString> message;
    // At most the first two recovery options, then "Cancel"; empty when the error offers no recovery.
    QStringList buttons;
};

// Title = the description. Message = the failure reason and the recovery suggestion joined by a blank
// line, unless the description already contains the reason; then the suggestion alone.
ErrorAlertContent errorAlertContent(const Error &error);

// The alert the application shows for an error: description, message as above, and one button per recovery
// option (or "OK"). Clicking an option asks the error's recovery attempter.
platform::Alert alertForError(const Error &error);

// Error presentation. Every form runs its alert on the main thread through the shared alert presenter.
// Presents the error as a sheet of `window` now and calls `didPresent` when it is dismissed.
void presentErrorAsSheet(const Error &error, QWindow *window, std::function<void()> didPresent = {});
// On a later turn, as a sheet of `window`; resumes the caller once it is dismissed.
QCoro::Task<> presentAsSheet(Error error, QWindow *window);
// On a later turn, application-modally (the application brought forward first); resumes once dismissed.
QCoro::Task<> presentAsModalAsync(Error error);
// A sheet when there is a window, else application-modal.
QCoro::Task<> presentAsync(Error error, QWindow *window);
// Fire and forget: application-modal, on a later turn.
void presentAsModal(const Error &error);
// Fire and forget: a sheet on `window` that keeps the window modal until it is dismissed; without a
// window, `presentAsModal`.
void presentAsModalSheet(const Error &error, QWindow *window);

// The error of a chosen folder that cannot be written to.
const Error &readOnlyDirectoryError();

} // namespace kestrova

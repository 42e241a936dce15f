#pragma once

#include "foundation/Error.h"
#include "platform/Alert.h"

#include <QCoro/QCoroTask>

class QWidget;

namespace kestrova {

// The alert that shows `error`: its description as the message, the failure reason and recovery suggestion
// below it, and one "OK" button.
platform::Alert alertForError(const Error &error);

// Shows `error` as a sheet of `window` (application-modal without one) through the shared alert presenter,
// and resumes once the user has dismissed it.
QCoro::Task<> presentErrorAsync(const Error &error, QWidget *window);

} // namespace kestrova

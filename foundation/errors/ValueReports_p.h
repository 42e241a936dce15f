#pragma once

// Private to the value helpers of the kit: how they stop on an impossible state and how they report an
// unexpected one that the caller survives.

#include "FatalReason.h"
#include "GeneralError.h"
#include "foundation/app/KvApp.h"

#include <QString>

#include <source_location>

namespace kestrova::detail {

[[noreturn]] inline void stopWithFatalMessage(const QString &message,
                                              std::source_location where = std::source_location::current()) {
    fatalError(FatalReason(message), where);
}

// An unexpected value that the caller survives: the operation goes on with the fallback it chose.
inline void reportUnexpectedValue(const QString &message,
                                  std::source_location where = std::source_location::current()) {
    KvApp::reportError(GeneralError(message), {}, where);
}

} // namespace kestrova::detail

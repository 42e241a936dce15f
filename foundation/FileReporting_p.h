#pragma once

#include <QDebug>

// Reports an unexpected file-system state with the source location and lets the caller carry on.
// A plain warning stands in until the kit's error reporter is available to this code.
#define KESTROVA_REPORT_FILE_PROBLEM(message)                                                                \
    qWarning().noquote().nospace() << __FILE__ << ':' << __LINE__ << ": " << (message)

#pragma once

// Private to the value helpers of the kit: how they stop on an impossible state and how they report an
// unexpected one. Both are local until the kit's fatal stop and error reporter are available here; each
// keeps the caller's file and line so the switch changes no call site.

#include <QDebug>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <source_location>

namespace kestrova::detail {

[[noreturn]] inline void stopWithFatalMessage(const QString &message,
                                              std::source_location where = std::source_location::current()) {
    std::fprintf(stderr, "Fatal error: %s (%s:%u)\n", message.toUtf8().constData(), where.file_name(),
                 static_cast<unsigned>(where.line()));
    std::fflush(stderr);
    std::abort();
}

// An unexpected value that the caller survives: the operation goes on with the fallback it chose.
inline void reportUnexpectedValue(const QString &message,
                                  std::source_location where = std::source_location::current()) {
    qWarning().noquote() << message << "at" << where.file_name() << ":" << where.line();
}

} // namespace kestrova::detail

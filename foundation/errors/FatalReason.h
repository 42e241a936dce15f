#pragma once

#include <QString>

#include <source_location>

namespace kestrova {

// Why the process must stop. Only impossible states stop it: an initialiser that must never run, a duty of
// a subtype that was not met. Anything else is reported and passed over.
struct FatalReason {
    FatalReason(QString text)
        : reason(std::move(text)) {}
    FatalReason(const char *text)
        : reason(QString::fromUtf8(text)) {}

    QString toString() const { return reason; }

    QString reason;

    static const FatalReason unreachable;
    static const FatalReason notYetImplemented;
    static const FatalReason mustBeOverridden;
    static const FatalReason shouldNeverBeCalled;
};

inline const FatalReason FatalReason::unreachable{"Should never be reached during execution."};
inline const FatalReason FatalReason::notYetImplemented{"Not yet implemented."};
inline const FatalReason FatalReason::mustBeOverridden{"Must be overridden in subtype."};
inline const FatalReason FatalReason::shouldNeverBeCalled{"Should never be called."};

// The text written to standard error before the stop: "<file>:<line>: Fatal error: <function>: <reason>".
QString fatalErrorMessage(const FatalReason &reason, const std::source_location &location);

// Writes the fatal-error message to standard error and aborts the process.
[[noreturn]] void fatalError(const FatalReason &reason,
                             std::source_location location = std::source_location::current());

} // namespace kestrova

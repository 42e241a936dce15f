#include "FatalReason.h"

#include <cstdio>
#include <cstdlib>

namespace kestrova {

QString fatalErrorMessage(const FatalReason &reason, const std::source_location &location) {
    return QStringLiteral("%1:%2: Fatal error: %3: %4")
        .arg(QString::fromUtf8(location.file_name()))
        .arg(location.line())
        .arg(QString::fromUtf8(location.function_name()), reason.reason);
}

void fatalError(const FatalReason &reason, std::source_location location) {
    const QByteArray message = fatalErrorMessage(reason, location).toUtf8();
    std::fprintf(stderr, "%s\n", message.constData());
    std::fflush(stderr);
    std::abort();
}

} // namespace kestrova

#include "AsyncSequenceSink.h"

#include "foundation/errors/Error.h"
#include "foundation/errors/GeneralError.h"
#include "foundation/app/KvApp.h"

namespace kestrova::detail {

void reportSinkFailure(const std::exception_ptr &failure) {
    const QString prefix = QStringLiteral("Async stream should not throw: ");
    try {
        std::rethrow_exception(failure);
    } catch (const Error &error) {
        // Only the cancellation of structured work itself is silent; other "cancelled" errors are failures of
        // the stream like any other.
        if (error.isNativeValue() && error.domain() == CancellationError().domain())
            return;
        KvApp::reportError(GeneralError(prefix + error.localizedDescription()));
    } catch (const std::exception &error) {
        KvApp::reportError(GeneralError(prefix + QString::fromLocal8Bit(error.what())));
    } catch (...) {
        KvApp::reportError(GeneralError(prefix + QStringLiteral("an unknown exception")));
    }
}

} // namespace kestrova::detail

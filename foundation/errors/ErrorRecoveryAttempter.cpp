#include "ErrorRecoveryAttempter.h"

#include "Error.h"

namespace kestrova {

ErrorRecoveryAttempter::ErrorRecoveryAttempter(QList<Option> recoveryOptions)
    : m_recoveryOptions(std::move(recoveryOptions)) {}

bool ErrorRecoveryAttempter::attemptRecovery(const Error &, qsizetype optionIndex) const {
    if (optionIndex < 0 || optionIndex >= m_recoveryOptions.size())
        return false;
    const auto &action = m_recoveryOptions.at(optionIndex).action;
    return action && action();
}

void ErrorRecoveryAttempter::attemptRecovery(const Error &error, qsizetype optionIndex,
                                             const Delegate &delegate, void *contextInfo) const {
    const bool didRecover = attemptRecovery(error, optionIndex);
    if (delegate)
        delegate(didRecover, contextInfo);
}

} // namespace kestrova

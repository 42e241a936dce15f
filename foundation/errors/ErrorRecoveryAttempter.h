#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include <functional>
#include <memory>

namespace kestrova {

class Error;

// Performs the recovery options of an error: the object that an error's user info holds under
// "recoveryAttempter" (as a std::shared_ptr), beside the options' titles under "localizedRecoveryOptions".
// It can only be made with its options.
class ErrorRecoveryAttempter {
public:
    struct Option {
        // The text on the button.
        QString title;
        // Answers true when recovery succeeded.
        std::function<bool()> action;
    };

    // Told the outcome of a recovery together with the context the caller passed in (may be null).
    using Delegate = std::function<void(bool didRecover, void *contextInfo)>;

    explicit ErrorRecoveryAttempter(QList<Option> recoveryOptions);
    ErrorRecoveryAttempter() = delete;

    const QList<Option> &recoveryOptions() const { return m_recoveryOptions; }

    // Runs the option at `optionIndex` and answers its result; an index out of range fails without running
    // anything.
    bool attemptRecovery(const Error &error, qsizetype optionIndex) const;
    // The same, then tells `delegate` (when there is one) the outcome.
    void attemptRecovery(const Error &error, qsizetype optionIndex, const Delegate &delegate,
                         void *contextInfo) const;

private:
    QList<Option> m_recoveryOptions;
};

} // namespace kestrova

Q_DECLARE_METATYPE(std::shared_ptr<kestrova::ErrorRecoveryAttempter>)

#pragma once

#include "foundation/app/KvApp.h"

#include <QStringList>

#include <memory>
#include <mutex>

namespace kestrova::testing {

// Catches the errors handed to the error reporter for as long as it lives, instead of writing reports.
class ReportedErrors {
public:
    ReportedErrors()
        : m_previous(KvApp::shouldReportError()) {
        KvApp::setShouldReportError([state = m_state](const Error &error) {
            std::lock_guard lock(state->mutex);
            state->errors << error;
            return false;
        });
    }
    ~ReportedErrors() { KvApp::setShouldReportError(m_previous); }
    ReportedErrors(const ReportedErrors &) = delete;
    ReportedErrors &operator=(const ReportedErrors &) = delete;

    QList<Error> errors() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->errors;
    }
    // The descriptions of every caught error, one per line.
    QString descriptions() const {
        QStringList lines;
        for (const Error &error : errors())
            lines << error.localizedDescription();
        return lines.join(QLatin1Char('\n'));
    }

private:
    struct State {
        std::mutex mutex;
        QList<Error> errors;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
    KvApp::ErrorPredicate m_previous;
};

} // namespace kestrova::testing

#pragma once

#include "Error.h"
#include "ErrorRecoveryAttempter.h"

#include <QUrl>

namespace kestrova {

// The error for a state that should not happen: made with a description, reported through
// `KvApp::reportError`, and then passed over. Domain "Kestrova.GeneralError", code 1; it has no failure
// reason. Holds nothing beyond `Error`, so it may be copied or thrown as one.
class GeneralError : public Error {
public:
    explicit GeneralError(const QString &description,
                          std::optional<QString> recoverySuggestion = std::nullopt,
                          const UserInfo &userInfo = {}, const std::optional<QUrl> &url = std::nullopt,
                          const QList<Error> &underlyingErrors = {},
                          const QList<ErrorRecoveryAttempter::Option> &recoveryOptions = {},
                          std::optional<QString> helpAnchor = std::nullopt);

    // `userInfo` with, where given, the recovery option titles and a recovery attempter for them, the
    // underlying errors and the URL stored over it.
    static UserInfo makeErrorUserInfo(UserInfo userInfo, const std::optional<QUrl> &url,
                                      const QList<Error> &underlyingErrors,
                                      const QList<ErrorRecoveryAttempter::Option> &recoveryOptions);

    std::optional<QString> errorDescription() const { return providedTexts().description; }
    std::optional<QString> recoverySuggestion() const { return providedTexts().recoverySuggestion; }
    const UserInfo &errorUserInfo() const { return userInfo(); }

    // The text for services that show the error themselves: the trimmed description, then, when there is
    // a recovery suggestion, both as sentences ending in "." joined by a space.
    QString localizedStringResource() const;
};

} // namespace kestrova

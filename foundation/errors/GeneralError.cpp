#include "GeneralError.h"

#include <QStringList>

#include <memory>

namespace kestrova {
namespace {

QString printed(const std::optional<QString> &text) {
    return text ? QStringLiteral("Optional(\"%1\")").arg(*text) : QStringLiteral("nil");
}

QString asSentence(QString text) {
    if (!text.endsWith(u'.'))
        text.append(u'.');
    return text;
}

} // namespace

GeneralError::GeneralError(const QString &description, std::optional<QString> recoverySuggestion,
                           const UserInfo &userInfo, const std::optional<QUrl> &url,
                           const QList<Error> &underlyingErrors,
                           const QList<ErrorRecoveryAttempter::Option> &recoveryOptions,
                           std::optional<QString> helpAnchor)
    : Error(QStringLiteral("Kestrova.GeneralError"), 1,
            makeErrorUserInfo(userInfo, url, underlyingErrors, recoveryOptions),
            QStringLiteral("GeneralError(errorDescription: %1, recoverySuggestion: %2, helpAnchor: %3)")
                .arg(printed(description), printed(recoverySuggestion), printed(helpAnchor)),
            ProvidedTexts{description, std::nullopt, recoverySuggestion, helpAnchor}) {}

UserInfo GeneralError::makeErrorUserInfo(UserInfo userInfo, const std::optional<QUrl> &url,
                                         const QList<Error> &underlyingErrors,
                                         const QList<ErrorRecoveryAttempter::Option> &recoveryOptions) {
    if (!recoveryOptions.isEmpty()) {
        QStringList titles;
        for (const auto &option : recoveryOptions)
            titles.append(option.title);
        userInfo.insert(ErrorKey::localizedRecoveryOptions, titles);
        userInfo.insert(ErrorKey::recoveryAttempter,
                        QVariant::fromValue(std::make_shared<ErrorRecoveryAttempter>(recoveryOptions)));
    }
    if (!underlyingErrors.isEmpty())
        userInfo.insert(ErrorKey::multipleUnderlyingErrors, QVariant::fromValue(underlyingErrors));
    if (url)
        userInfo.insert(ErrorKey::url, *url);
    return userInfo;
}

QString GeneralError::localizedStringResource() const {
    const QString description = localizedDescription().trimmed();
    const auto suggestion = localizedRecoverySuggestion();
    if (!suggestion)
        return description;
    return asSentence(description) + u' ' + asSentence(suggestion->trimmed());
}

} // namespace kestrova

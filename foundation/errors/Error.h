#pragma once

#include <QLatin1String>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace kestrova {

// Text keys to values of any kind: the extra facts an error carries.
using UserInfo = QVariantMap;

// The user-info keys that the kit and its users read. An underlying error is stored as an `Error` value,
// several as a `QList<Error>`; the URL as a `QUrl`; the recovery attempter as a
// `std::shared_ptr<ErrorRecoveryAttempter>`.
namespace ErrorKey {
inline constexpr QLatin1String localizedDescription{"localizedDescription"};
inline constexpr QLatin1String localizedFailureReason{"localizedFailureReason"};
inline constexpr QLatin1String localizedRecoverySuggestion{"localizedRecoverySuggestion"};
inline constexpr QLatin1String localizedRecoveryOptions{"localizedRecoveryOptions"};
inline constexpr QLatin1String recoveryAttempter{"recoveryAttempter"};
inline constexpr QLatin1String helpAnchor{"helpAnchor"};
inline constexpr QLatin1String underlyingError{"underlyingError"};
inline constexpr QLatin1String multipleUnderlyingErrors{"multipleUnderlyingErrors"};
inline constexpr QLatin1String url{"url"};
} // namespace ErrorKey

// Domains and codes of errors that come from the system's own services rather than from the kit.
namespace ErrorDomain {
inline constexpr QLatin1String system{"SystemErrorDomain"};
inline constexpr QLatin1String urlLoading{"URLErrorDomain"};
inline constexpr QLatin1String store{"SKErrorDomain"};
// The operating system's error numbers (errno).
inline constexpr QLatin1String posix{"POSIXErrorDomain"};
} // namespace ErrorDomain
namespace SystemErrorCode {
inline constexpr qint64 userCancelled = 3072;
} // namespace SystemErrorCode
namespace URLErrorCode {
inline constexpr qint64 cancelled = -999;
} // namespace URLErrorCode
namespace StoreErrorCode {
inline constexpr qint64 paymentCancelled = 2;
} // namespace StoreErrorCode

// An error value: a domain, a code and user info. Throwing operations throw these.
//
// An error is either a plain error (made from a domain, a code and user info, as the system's services
// report them) or a value of one of the kit's own error types (`GeneralError`, `UnexpectedNilError`, …),
// which derive from this class and keep everything the error model needs in it, so they survive being
// copied or caught as `Error`. A value
// of a kit type also carries its printed form (its type name first, then white space or "(") and the texts
// its type provides (description, failure reason, recovery suggestion, help anchor); a plain error reads
// those texts from its user info. Errors are immutable and may cross threads.
class Error {
public:
    // Only so that errors can be held in a QVariant: no domain, code 0.
    Error() = default;
    Error(QString domain, qint64 code, UserInfo userInfo = {});

    const QString &domain() const { return m_domain; }
    qint64 code() const { return m_code; }
    const UserInfo &userInfo() const { return m_userInfo; }

    // The type's own text, else the user info's, else "The operation couldn’t be completed." with the
    // failure reason or the domain and code.
    QString localizedDescription() const;
    std::optional<QString> localizedFailureReason() const;
    std::optional<QString> localizedRecoverySuggestion() const;
    std::optional<QString> helpAnchor() const;
    // The errors under "underlyingError" and "multipleUnderlyingErrors", in that order (one level).
    QList<Error> underlyingErrors() const;

    // True for a value of one of the kit's error types, false for a plain error.
    bool isNativeValue() const { return m_isNativeValue; }
    // A value's printed form; a plain error prints as `Error Domain=… Code=… "…"`.
    QString printedDescription() const;

    // True when the error means that the user or the system cancelled: a `CancellationError`, a cancelled
    // URL load, a cancelled system operation or a store payment the user cancelled.
    bool isCancelled() const;
    // True when the error has exactly this domain and code.
    bool hasDomainAndCode(const QString &domain, qint64 code) const {
        return m_domain == domain && m_code == code;
    }

    // The plain error sent to the crash reporter: `extraUserInfo` stored over the user info, and, for a
    // kit value or any error with code 1, the domain extended with the type text and the code replaced by
    // a hash of it (see Error.cpp), so that reports of one kind group together.
    Error reportable(const UserInfo &extraUserInfo) const;

protected:
    // The texts that a kit error type provides itself.
    struct ProvidedTexts {
        std::optional<QString> description;
        std::optional<QString> failureReason;
        std::optional<QString> recoverySuggestion;
        std::optional<QString> helpAnchor;
    };

    // A value of a kit error type.
    Error(QString domain, qint64 code, UserInfo userInfo, QString printedDescription, ProvidedTexts texts);

    const ProvidedTexts &providedTexts() const { return m_texts; }

private:
    QString m_domain;
    qint64 m_code = 0;
    UserInfo m_userInfo;
    bool m_isNativeValue = false;
    QString m_printedDescription;
    ProvidedTexts m_texts;
};

// The error of structured work that was cancelled; never reported and never shown.
class CancellationError : public Error {
public:
    CancellationError();
};

// An error of the operating system: `code` is the errno value, and the description says what failed
// followed by the system's text for the code.
Error posixError(int code, const QString &whatFailed);

} // namespace kestrova

Q_DECLARE_METATYPE(kestrova::Error)

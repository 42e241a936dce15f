#include "Error.h"

#include "foundation/text/TextHash.h"

#include <cstring>

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <memory>

namespace kestrova {
namespace {

QString cancellationErrorDomain() {
    return QStringLiteral("Kestrova.CancellationError");
}

std::optional<QString> textEntry(const UserInfo &userInfo, QLatin1String key) {
    const QVariant value = userInfo.value(key);
    if (value.metaType() != QMetaType::fromType<QString>())
        return std::nullopt;
    return value.toString();
}

// Every match of `pattern` removed, with the rules of the ICU engine ("." stops at any line break). A
// pattern the engine refuses leaves the text as it is.
QString removingMatches(const QString &text, const char16_t *pattern) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(icu::UnicodeString(pattern), 0, status));
    if (U_FAILURE(status) || !compiled)
        return text;
    const icu::UnicodeString input(reinterpret_cast<const UChar *>(text.utf16()),
                                   static_cast<int32_t>(text.size()));
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(input, status));
    if (U_FAILURE(status) || !matcher)
        return text;
    const icu::UnicodeString result = matcher->replaceAll(icu::UnicodeString(), status);
    if (U_FAILURE(status))
        return text;
    return QString(reinterpret_cast<const QChar *>(result.getBuffer()), result.length());
}

// The printed form cut down to what names the kind of error: the type name of a kit value, the case name
// of an enumeration-like value, "Error" for a plain error.
QString typeText(const Error &error) {
    return removingMatches(error.printedDescription(), u"(\\(|\\s).+").trimmed();
}

} // namespace

Error::Error(QString domain, qint64 code, UserInfo userInfo)
    : m_domain(std::move(domain))
    , m_code(code)
    , m_userInfo(std::move(userInfo)) {}

Error::Error(QString domain, qint64 code, UserInfo userInfo, QString printedDescription, ProvidedTexts texts)
    : m_domain(std::move(domain))
    , m_code(code)
    , m_userInfo(std::move(userInfo))
    , m_isNativeValue(true)
    , m_printedDescription(std::move(printedDescription))
    , m_texts(std::move(texts)) {}

QString Error::localizedDescription() const {
    if (m_texts.description)
        return *m_texts.description;
    if (const auto description = textEntry(m_userInfo, ErrorKey::localizedDescription))
        return *description;
    if (const auto reason = localizedFailureReason())
        return QStringLiteral("The operation couldn’t be completed. %1").arg(*reason);
    return QStringLiteral("The operation couldn’t be completed. (%1 error %2.)").arg(m_domain).arg(m_code);
}

std::optional<QString> Error::localizedFailureReason() const {
    return m_texts.failureReason ? m_texts.failureReason
                                 : textEntry(m_userInfo, ErrorKey::localizedFailureReason);
}

std::optional<QString> Error::localizedRecoverySuggestion() const {
    return m_texts.recoverySuggestion ? m_texts.recoverySuggestion
                                      : textEntry(m_userInfo, ErrorKey::localizedRecoverySuggestion);
}

std::optional<QString> Error::helpAnchor() const {
    return m_texts.helpAnchor ? m_texts.helpAnchor : textEntry(m_userInfo, ErrorKey::helpAnchor);
}

QList<Error> Error::underlyingErrors() const {
    QList<Error> errors;
    const QVariant single = m_userInfo.value(ErrorKey::underlyingError);
    if (single.metaType() == QMetaType::fromType<Error>())
        errors.append(single.value<Error>());
    const QVariant several = m_userInfo.value(ErrorKey::multipleUnderlyingErrors);
    if (several.metaType() == QMetaType::fromType<QList<Error>>())
        errors.append(several.value<QList<Error>>());
    return errors;
}

QString Error::printedDescription() const {
    if (m_isNativeValue)
        return m_printedDescription;
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"")
        .arg(m_domain)
        .arg(m_code)
        .arg(localizedDescription());
}

bool Error::isCancelled() const {
    return (m_isNativeValue && m_domain == cancellationErrorDomain()) ||
           hasDomainAndCode(ErrorDomain::urlLoading, URLErrorCode::cancelled) ||
           hasDomainAndCode(ErrorDomain::system, SystemErrorCode::userCancelled) ||
           hasDomainAndCode(ErrorDomain::store, StoreErrorCode::paymentCancelled);
}

Error Error::reportable(const UserInfo &extraUserInfo) const {
    UserInfo info = m_userInfo;
    info.insert(extraUserInfo);
    // A plain error with a meaningful code already groups well; only the report's facts are added.
    if (!m_isNativeValue && m_code != 1) {
        if (extraUserInfo.isEmpty())
            return *this;
        return Error(m_domain, m_code, std::move(info));
    }

    info.insert(ErrorKey::localizedDescription, localizedDescription());
    const QString type = typeText(*this);
    const QString domain = type.isEmpty() ? m_domain : m_domain + u'.' + type;
    // Quoted parts are the instance's own data (a file name, say), which must not split one kind of error
    // into many codes.
    const qint64 code =
        m_code != 1 ? m_code : static_cast<qint64>(fnv1a64(removingMatches(type, u"\u201C.*?\u201D")));
    info.insert(QStringLiteral("codeString"), type);
    return Error(domain, code, std::move(info));
}

CancellationError::CancellationError()
    : Error(cancellationErrorDomain(), 1, {}, QStringLiteral("CancellationError()"), {}) {}

Error posixError(int code, const QString &whatFailed) {
    return Error(ErrorDomain::posix, code,
                 {{ErrorKey::localizedDescription,
                   whatFailed + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code))}});
}

} // namespace kestrova

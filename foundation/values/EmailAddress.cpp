#include "EmailAddress.h"

#include "foundation/errors/ValueReports_p.h"

#include <unicode/uregex.h>

#include <memory>

namespace kestrova {

namespace {

// Atoms may hold letters and digits of any script and the punctuation that addresses allow unquoted;
// domain labels are letters, digits and inner hyphens.
constexpr char16_t kAddressPattern[] =
    uR"re([\p{L}\p{N}!#\$%\&'*+/=?\^_`\{|\}~\-]+(?:\.[\p{L}\p{N}!#\$%\&'*+/=?\^_`\{|\}~\-]+)*)re"
    uR"re(@(?:[\p{L}\p{N}](?:[\p{L}\p{N}\-]{0,61}[\p{L}\p{N}])?\.)+\p{L}{2,63})re";

constexpr qsizetype kMaximumLocalPartLength = 64;
constexpr qsizetype kMaximumAddressLength = 254;

struct RegexCloser {
    void operator()(URegularExpression *regex) const { uregex_close(regex); }
};
using RegexHandle = std::unique_ptr<URegularExpression, RegexCloser>;

// Compiled once; each check works on its own clone, since one compiled expression must not match on two
// threads at once.
const URegularExpression *compiledAddressPattern() {
    static const RegexHandle compiled = [] {
        UErrorCode status = U_ZERO_ERROR;
        RegexHandle regex(
            uregex_open(reinterpret_cast<const UChar *>(kAddressPattern), -1, 0, nullptr, &status));
        if (U_FAILURE(status))
            detail::stopWithFatalMessage(QStringLiteral("The e-mail address pattern does not compile: ") +
                                         QLatin1String(u_errorName(status)));
        return regex;
    }();
    return compiled.get();
}

} // namespace

bool EmailAddress::isValid(const QString &text) {
    if (text.isEmpty() || text.size() > kMaximumAddressLength)
        return false;
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'));
    if (at > kMaximumLocalPartLength)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    RegexHandle regex(uregex_clone(compiledAddressPattern(), &status));
    if (U_FAILURE(status))
        return false;
    uregex_setText(regex.get(), reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()), &status);
    // Matches only when the pattern covers the whole text.
    const bool matches = uregex_matches(regex.get(), 0, &status);
    return U_SUCCESS(status) && matches;
}

std::optional<EmailAddress> EmailAddress::fromRawValue(const QString &text) {
    QString trimmed = text.trimmed();
    if (!isValid(trimmed))
        return std::nullopt;
    return EmailAddress(std::move(trimmed));
}

EmailAddress EmailAddress::fromProgramText(const char *text) {
    const QString written = QString::fromUtf8(text);
    std::optional<EmailAddress> address = fromRawValue(written);
    if (!address)
        detail::stopWithFatalMessage(QStringLiteral("Invalid email address: ") + written);
    return *std::move(address);
}

const EmailAddress &EmailAddress::support() {
    static const EmailAddress address = fromStringLiteral("support@kestrova.org");
    return address;
}

} // namespace kestrova

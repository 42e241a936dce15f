#include "UnexpectedNilError.h"

namespace kestrova {
namespace {

QString position(const QString &file, qint64 line) {
    return QStringLiteral("Unexpected nil encountered at %1:%2").arg(file).arg(line);
}

} // namespace

UnexpectedNilError::UnexpectedNilError(std::optional<QString> message, std::source_location location)
    : UnexpectedNilError(std::move(message), QString::fromUtf8(location.file_name()),
                         static_cast<qint64>(location.line())) {}

UnexpectedNilError::UnexpectedNilError(std::optional<QString> message, QString file, qint64 line)
    : Error(QStringLiteral("Kestrova.UnexpectedNilError"), 1, {},
            QStringLiteral("UnexpectedNilError(message: %1, file: \"%2\", line: %3)")
                .arg(message ? u'"' + *message + u'"' : QStringLiteral("nil"), file, QString::number(line)),
            ProvidedTexts{message ? message : position(file, line), position(file, line), std::nullopt,
                          std::nullopt})
    , m_message(std::move(message))
    , m_file(std::move(file))
    , m_line(line) {}

IOKitError::IOKitError(qint32 returnValue, const UserInfo &userInfo)
    : Error(QStringLiteral("IOKitErrorDomain"), returnValue, userInfo,
            QStringLiteral("IOKitError(returnValue: %1)").arg(returnValue), {}) {}

} // namespace kestrova

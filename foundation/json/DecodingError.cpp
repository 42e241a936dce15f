#include "DecodingError.h"

namespace kestrova {

namespace {

std::string whatText(DecodingError::Kind kind, const QStringList &codingPath,
                     const QString &debugDescription) {
    static constexpr const char *kKindNames[] = {"typeMismatch", "valueNotFound", "keyNotFound",
                                                 "dataCorrupted"};
    QString text = QString::fromLatin1(kKindNames[static_cast<int>(kind)]);
    if (!codingPath.isEmpty())
        text += QStringLiteral(" at ") + codingPath.join(QLatin1Char('.'));
    text += QStringLiteral(": ") + debugDescription;
    return text.toStdString();
}

} // namespace

DecodingError::DecodingError(Kind kind, QStringList codingPath, QString debugDescription)
    : std::runtime_error(whatText(kind, codingPath, debugDescription))
    , m_kind(kind)
    , m_codingPath(std::move(codingPath))
    , m_debugDescription(std::move(debugDescription)) {}

DecodingError DecodingError::keyNotFound(const QString &key, QStringList codingPath) {
    return {Kind::keyNotFound, std::move(codingPath),
            QStringLiteral("No value associated with key \"%1\".").arg(key)};
}

} // namespace kestrova

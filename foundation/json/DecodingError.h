#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace kestrova {

// Why a value could not be read from its JSON form. `codingPath` lists the member names from the value being
// decoded down to the place of the failure (empty when the failure is at the value itself).
class DecodingError : public std::runtime_error {
public:
    enum class Kind { typeMismatch, valueNotFound, keyNotFound, dataCorrupted };

    DecodingError(Kind kind, QStringList codingPath, QString debugDescription);

    static DecodingError typeMismatch(QStringList codingPath, QString debugDescription) {
        return {Kind::typeMismatch, std::move(codingPath), std::move(debugDescription)};
    }
    static DecodingError keyNotFound(const QString &key, QStringList codingPath);
    static DecodingError dataCorrupted(QStringList codingPath, QString debugDescription) {
        return {Kind::dataCorrupted, std::move(codingPath), std::move(debugDescription)};
    }

    Kind kind() const { return m_kind; }
    const QStringList &codingPath() const { return m_codingPath; }
    const QString &debugDescription() const { return m_debugDescription; }

private:
    Kind m_kind;
    QStringList m_codingPath;
    QString m_debugDescription;
};

} // namespace kestrova

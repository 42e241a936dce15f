#pragma once

#include "Error.h"

#include <source_location>

namespace kestrova {

// A value that should have been there was missing. Its failure reason is always the position,
// "Unexpected nil encountered at <file>:<line>", and its description the message when there is one, else
// that position. Domain "Kestrova.UnexpectedNilError", code 1.
class UnexpectedNilError : public Error {
public:
    explicit UnexpectedNilError(std::optional<QString> message = std::nullopt,
                                std::source_location location = std::source_location::current());
    UnexpectedNilError(std::optional<QString> message, QString file, qint64 line);

    const std::optional<QString> &message() const { return m_message; }
    const QString &file() const { return m_file; }
    qint64 line() const { return m_line; }

private:
    std::optional<QString> m_message;
    QString m_file;
    qint64 m_line;
};

// A failure code of the hardware registry with its user info. Domain "IOKitErrorDomain", code the return
// value. Linux has no such registry, so nothing in the system raises it; it is kept for code that reads
// hardware facts and wants to say why it could not.
class IOKitError : public Error {
public:
    explicit IOKitError(qint32 returnValue, const UserInfo &userInfo = {});

    qint32 returnValue() const { return static_cast<qint32>(code()); }
};

} // namespace kestrova

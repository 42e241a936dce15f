#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <variant>

namespace kestrova {

// An option's value: the Boolean true for a bare "--flag", else the text that followed it.
using CommandLineOptionValue = std::variant<bool, QString>;

struct ParsedCommandLineArguments {
    QStringList positionalArguments;
    std::map<QString, CommandLineOptionValue> options;

    bool operator==(const ParsedCommandLineArguments &) const = default;
};

// Splits arguments into positional ones and "--name [value]" options: an option takes the next argument that
// is not an option as its text, else it is true; a later option of the same name wins; an argument that is
// exactly "--" ends the list (it and the rest are ignored). A single dash means nothing special.
ParsedCommandLineArguments parseCommandLineArguments(const QStringList &arguments);

// An open file descriptor of the process, not owned: the standard streams or one the caller keeps open.
class FileHandle {
public:
    explicit FileHandle(int fileDescriptor)
        : m_fileDescriptor(fileDescriptor) {}

    static FileHandle standardInput() { return FileHandle(0); }
    static FileHandle standardOutput() { return FileHandle(1); }
    static FileHandle standardError() { return FileHandle(2); }

    int fileDescriptor() const { return m_fileDescriptor; }
    bool operator==(const FileHandle &) const = default;

    // Writes the text as UTF-8, all of it, retrying interrupted writes. A failure (a closed pipe, a full
    // disk) is reported to the error reporter rather than passed on, and the text is lost; a closed pipe
    // does not end the process.
    void write(const QString &text) const;

    // Writes all the bytes to the descriptor, retrying interrupted writes, with SIGPIPE held back (a
    // reader that went away is EPIPE, not the end of the process); 0, or the errno of the failure.
    static int writeAll(int fileDescriptor, const QByteArray &bytes);

private:
    int m_fileDescriptor;
};

} // namespace kestrova

#pragma once

#include "foundation/cli/CommandLineArguments.h"
#include "foundation/errors/Error.h"
#include "foundation/text/TextFormatting.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <map>
#include <optional>

namespace kestrova {

// The process as a command-line tool: its standard streams, its arguments, its folder and its input. The
// values are read once, at first use, and then kept. The menu-bar application does not use it.
class CLI {
public:
    CLI() = delete;

    // The three standard streams; each may be replaced (say, to capture output) before output starts.
    static FileHandle standardInput();
    static FileHandle standardOutput();
    static FileHandle standardError();
    static void setStandardInput(FileHandle handle);
    static void setStandardOutput(FileHandle handle);
    static void setStandardError(FileHandle handle);

    // The file URL of the first argument (taken from the current folder when relative) and its last part.
    static QUrl executableURL();
    static QString executableName();
    // The arguments after the executable, and their split into positional arguments and options.
    static const QStringList &arguments();
    static const QStringList &positionalArguments();
    static const std::map<QString, CommandLineOptionValue> &options();
    // Whether the option (named without its dashes) was given.
    static bool hasOption(const QString &name);

    // The current folder as a directory URL.
    static QUrl workingDirectory();

    // What standard input has ready: one read, waiting only when nothing is there yet; empty at its end.
    static QByteArray standardInputData();
    // That data as UTF-8 text without one trailing line feed; nothing when it is not valid UTF-8.
    static std::optional<QString> standardInputText();
    // The next line of standard input, without its line feed when asked; nothing at the end of input.
    static std::optional<QString> readLine(bool strippingNewline = true);

    // The printed forms of the values joined by `separator`, then `terminator`, written to `handle` (a failed
    // write is reported).
    template <typename... Values> static void print(const Values &...values) {
        printTo(standardOutput(), QStringLiteral(" "), QStringLiteral("\n"), values...);
    }
    template <typename... Values>
    static void printTo(FileHandle handle, const QString &separator, const QString &terminator,
                        const Values &...values) {
        QStringList texts;
        (texts.append(describe(values)), ...);
        handle.write(texts.join(separator) + terminator);
    }

    // Runs the work and gives its result; when it throws an Error, writes the error's description and a
    // line feed to standard error and ends the process with status 1.
    template <typename Work> static auto runOrExit(Work &&work) -> decltype(work()) {
        try {
            return work();
        } catch (const Error &error) {
            exitWithError(error);
        }
    }

    // Drops the root rights of a tool started through sudo: when "SUDO_UID" holds a decimal user id, the
    // process takes that user's groups (supplementary groups from the user database, the primary group from
    // "SUDO_GID" or the user database), then its group id, then its user id, in that order, and checks that
    // root cannot be regained. Without a usable "SUDO_UID" nothing happens. Throws an Error when any step
    // fails, so that a tool never goes on as root believing it is not.
    static void revertSudo();

private:
    [[noreturn]] static void exitWithError(const Error &error);
};

} // namespace kestrova

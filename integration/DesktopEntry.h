#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace kestrova {

// The "[Desktop Entry]" group of a desktop entry file: its keys in file order, values unescaped. Other
// groups, comments and localised keys ("Name[de]") are kept out: this reader serves the few keys the
// launcher and the autostart entry use. QSettings is no help here: its INI rules mangle the entry syntax.
class DesktopEntry {
public:
    DesktopEntry() = default;

    // Nothing when the text has no "[Desktop Entry]" group or is not UTF-8.
    static std::optional<DesktopEntry> parse(const QByteArray &text);
    // Nothing when the file cannot be read or does not parse, when the path (or the end of the link at
    // it) is no regular file (a FIFO, a device, a folder: never opened in a way that waits), or when it is
    // larger than 1 MiB.
    static std::optional<DesktopEntry> read(const QString &filePath);

    std::optional<QString> value(const QString &key) const;
    // True for "true", false for "false", nothing for a missing key or any other text.
    std::optional<bool> booleanValue(const QString &key) const;
    // Replaces the key's value, or adds it at the end.
    void setValue(const QString &key, const QString &value);

    // The whole file, with every value escaped.
    QByteArray toText() const;
    // Writes the file atomically (a temporary file renamed over the old one); a symbolic link at
    // `filePath` is replaced, never followed. False when it could not be written.
    bool write(const QString &filePath) const;

    // The program and its arguments of an Exec value, unquoted; nothing when the quoting is broken.
    static std::optional<std::vector<QString>> splitExec(const QString &exec);
    // The Exec value that starts `program` with no arguments, quoted where the program's path needs it.
    static QString execFor(const QString &program);

private:
    std::vector<std::pair<QString, QString>> m_entries;
};

} // namespace kestrova

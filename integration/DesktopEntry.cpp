#include "DesktopEntry.h"

#include "foundation/files/FileReading.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>

namespace kestrova {
namespace {

const QString kGroup = QStringLiteral("[Desktop Entry]");

QString unescapeValue(QStringView value) {
    QString result;
    result.reserve(value.size());
    for (qsizetype index = 0; index < value.size(); ++index) {
        const QChar character = value.at(index);
        if (character != u'\\' || index + 1 == value.size()) {
            result.append(character);
            continue;
        }
        switch (value.at(++index).unicode()) {
        case 's':
            result.append(u' ');
            break;
        case 'n':
            result.append(u'\n');
            break;
        case 't':
            result.append(u'\t');
            break;
        case 'r':
            result.append(u'\r');
            break;
        case '\\':
            result.append(u'\\');
            break;
        // Anything else (the list separator "\;") belongs to the value's own syntax.
        default:
            result.append(u'\\').append(value.at(index));
            break;
        }
    }
    return result;
}

QString escapeValue(const QString &value) {
    QString result;
    result.reserve(value.size());
    for (const QChar character : value) {
        switch (character.unicode()) {
        case '\\':
            result.append(QLatin1String("\\\\"));
            break;
        case '\n':
            result.append(QLatin1String("\\n"));
            break;
        case '\t':
            result.append(QLatin1String("\\t"));
            break;
        case '\r':
            result.append(QLatin1String("\\r"));
            break;
        default:
            result.append(character);
            break;
        }
    }
    if (result.startsWith(u' '))
        result.replace(0, 1, QStringLiteral("\\s"));
    return result;
}

bool isReservedInExec(QChar character) {
    return QStringView(u" \t\n\"'\\><~|&;$*?#()`").contains(character);
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::parse(const QByteArray &text) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder(text);
    if (decoder.hasError())
        return std::nullopt;
    DesktopEntry entry;
    bool isInGroup = false;
    bool hasGroup = false;
    for (QStringView line : QStringView(decoded).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            // Only the first group of that name counts; a file may not repeat it.
            isInGroup = !hasGroup && line == kGroup;
            hasGroup = hasGroup || isInGroup;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!isInGroup || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed().toString();
        if (key.contains(u'['))
            continue;
        if (!entry.value(key))
            entry.m_entries.emplace_back(key, unescapeValue(line.mid(equals + 1).trimmed()));
    }
    if (!hasGroup)
        return std::nullopt;
    return entry;
}

std::optional<DesktopEntry> DesktopEntry::read(const QString &filePath) {
    // A link is followed (dotfile managers link entries in), but what it ends at must be a regular file:
    // opening a FIFO would wait for a writer for ever and a device may never end.
    const QFileInfo info(filePath);
    const QString target = info.isSymLink() ? info.canonicalFilePath() : filePath;
    if (target.isEmpty())
        return std::nullopt;
    // Far more than any launcher entry: a larger file is not one of ours, and half of it is no entry.
    constexpr qsizetype kLargestEntry = 1 << 20;
    const auto text = readRegularFile(QFile::encodeName(target), kLargestEntry + 1);
    if (!text || text->size() > kLargestEntry)
        return std::nullopt;
    return parse(*text);
}

std::optional<QString> DesktopEntry::value(const QString &key) const {
    for (const auto &[name, value] : m_entries)
        if (name == key)
            return value;
    return std::nullopt;
}

std::optional<bool> DesktopEntry::booleanValue(const QString &key) const {
    const auto text = value(key);
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return std::nullopt;
}

void DesktopEntry::setValue(const QString &key, const QString &value) {
    for (auto &[name, stored] : m_entries) {
        if (name == key) {
            stored = value;
            return;
        }
    }
    m_entries.emplace_back(key, value);
}

QByteArray DesktopEntry::toText() const {
    QString text = kGroup + u'\n';
    for (const auto &[name, value] : m_entries)
        text += name + u'=' + escapeValue(value) + u'\n';
    return text.toUtf8();
}

bool DesktopEntry::write(const QString &filePath) const {
    const QFileInfo info(filePath);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    // A link may point anywhere, at a file that is not ours to overwrite: the link itself is replaced.
    if (info.isSymLink() && !QFile::remove(filePath))
        return false;
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray text = toText();
    if (file.write(text) != text.size())
        return false;
    return file.commit();
}

std::optional<std::vector<QString>> DesktopEntry::splitExec(const QString &exec) {
    std::vector<QString> arguments;
    QString current;
    bool hasArgument = false;
    bool isQuoted = false;
    for (qsizetype index = 0; index < exec.size(); ++index) {
        const QChar character = exec.at(index);
        if (character == u'%' && index + 1 < exec.size() && exec.at(index + 1) == u'%') {
            current.append(exec.at(++index));
            hasArgument = true;
            continue;
        }
        if (isQuoted) {
            if (character == u'"') {
                isQuoted = false;
            } else if (character == u'\\' && index + 1 < exec.size() &&
                       QStringView(u"\"`$\\").contains(exec.at(index + 1))) {
                current.append(exec.at(++index));
            } else {
                current.append(character);
            }
            continue;
        }
        if (character == u' ' || character == u'\t') {
            if (hasArgument)
                arguments.push_back(std::exchange(current, QString()));
            hasArgument = false;
            continue;
        }
        hasArgument = true;
        if (character == u'"')
            isQuoted = true;
        else
            current.append(character);
    }
    if (isQuoted)
        return std::nullopt;
    if (hasArgument)
        arguments.push_back(current);
    return arguments;
}

QString DesktopEntry::execFor(const QString &program) {
    QString quoted = program;
    if (std::any_of(program.begin(), program.end(), isReservedInExec)) {
        quoted.clear();
        for (const QChar character : program) {
            if (QStringView(u"\"`$\\").contains(character))
                quoted.append(u'\\');
            quoted.append(character);
        }
        quoted = u'"' + quoted + u'"';
    }
    return quoted.replace(u'%', QLatin1String("%%"));
}

} // namespace kestrova

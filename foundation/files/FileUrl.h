#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// File URLs and the bytes of the paths they name. A name on disk need not be valid UTF-8, and QString
// (hence QUrl::toLocalFile and QFile::decodeName) cannot carry such a name; the percent-encoded form of a
// QUrl can, so file URLs are built from and read back to bytes here.
namespace kestrova::url {

// The path bytes of a file URL, without a trailing slash (except for "/"); empty for any other URL.
QByteArray localPath(const QUrl &url);

// The file URL of a path given as bytes; a relative path is taken from the current folder. A directory
// URL ends with a slash.
QUrl fromLocalPath(const QByteArray &path, bool isDirectory = false);

// The URL of `name` inside the folder `directory`; `name` is one path component.
QUrl appendingPathComponent(const QUrl &directory, const QString &name, bool isDirectory = false);

// A URL written in the program's text; an invalid one is a programming error and stops the process.
QUrl fromLiteral(const char *text);

} // namespace kestrova::url

#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// The well-known folders, each a directory URL computed once on first use and safe to read from any thread.
namespace kestrova::url {

// The user's home folder from the user database; $HOME when the user has no entry there (common in
// containers), "/" when there is neither.
QUrl realHomeDirectory();
QUrl rootDirectory();
// The data home and the cache home, each with the application's own folder inside; created on first
// use (a failure is reported and the URL still answered).
QUrl applicationSupportDirectory();
QUrl cachesDirectory();
QUrl desktopDirectory();
QUrl downloadsDirectory();
// realHomeDirectory() + "Documents", whatever the XDG configuration says.
QUrl documentsDirectory();
QUrl picturesDirectory();
QUrl moviesDirectory();
QUrl musicDirectory();
QUrl sharedPublicDirectory();
// The machine-wide folder of application entries; "/Applications" when there is none.
QUrl applicationsDirectory();
QUrl userApplicationsDirectory();
QUrl systemApplicationsDirectory();

// The home folder's path as the user database (or, failing that, $HOME) gives it, looked up now.
QByteArray lookUpHomeDirectoryPath();

// `path` with a leading home folder shown as "~". The home folder must match whole path components:
// with home "/home/bob", "/home/bob/x" becomes "~/x" while "/home/bobby/x" stays as it is.
QString abbreviatingWithTildeInPath(const QString &path, const QString &homePath);
// The same with the real home folder.
QString abbreviatingWithTildeInPath(const QString &path);

} // namespace kestrova::url

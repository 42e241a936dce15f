#include "DesktopWorkspace.h"

#include "GioFiles_p.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>

#include <optional>

#include <sys/stat.h>

namespace kestrova::platform::desktop {

namespace {

// Long enough for a file manager that is started by the bus on demand, short enough not to hang a menu.
constexpr int kFileManagerTimeoutMs = 5000;

// The path as bytes: a name on disk need not be valid UTF-8, and QUrl::toLocalFile would replace what is
// not, so such an item would seem lost and the file manager would be sent another name.
QByteArray pathBytes(const QUrl &url) {
    QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

QByteArray encodedUri(const QByteArray &path) {
    return "file://" + path.toPercentEncoding("/");
}

QString displayName(const QUrl &url) {
    const QByteArray path = pathBytes(url);
    const QString name = QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
    return name.isEmpty() ? url.toDisplayString() : name;
}

// Lost items are told apart from other failures: the entry may have gone since the menu listed it.
std::optional<WorkspaceResult> missingItem(const QUrl &url) {
    if (!url.isLocalFile())
        return WorkspaceResult::failed(
            QStringLiteral("“%1” is not a local file.").arg(url.toDisplayString()));
    // A dangling symbolic link still exists as an item of its own.
    struct stat status {};
    if (::lstat(pathBytes(url).constData(), &status) == 0)
        return std::nullopt;
    return WorkspaceResult::failed(QStringLiteral("“%1” no longer exists.").arg(displayName(url)));
}

WorkspaceResult fromGio(const std::string &failure) {
    if (failure.empty())
        return WorkspaceResult::done();
    return WorkspaceResult::failed(QString::fromStdString(failure));
}

WorkspaceResult launchDefault(const QByteArray &uri) {
    bool lacksApplication = false;
    const std::string failure = gio::launchDefaultForUri(uri.toStdString(), &lacksApplication);
    if (!failure.empty() && lacksApplication)
        return WorkspaceResult::noApplication(QString::fromStdString(failure));
    return fromGio(failure);
}

bool callFileManager(const QString &method, const QUrl &url) {
    auto connection = QDBusConnection::sessionBus();
    if (!connection.isConnected())
        return false;
    auto message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                  QStringLiteral("/org/freedesktop/FileManager1"),
                                                  QStringLiteral("org.freedesktop.FileManager1"), method);
    const QStringList uris{QString::fromLatin1(encodedUri(pathBytes(url)))};
    message << uris << QString();
    const auto reply = connection.call(message, QDBus::Block, kFileManagerTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

// Without a file manager on the bus, the folder that holds the item is the nearest thing to show.
WorkspaceResult openContainingFolder(const QUrl &url, const QString &wanted) {
    const QByteArray path = pathBytes(url);
    const QByteArray folder = path.lastIndexOf('/') > 0 ? path.left(path.lastIndexOf('/')) : QByteArray("/");
    const auto opened = launchDefault(encodedUri(folder));
    if (!opened.succeeded)
        return opened;
    return {true,
            QStringLiteral("No file manager answered to %1 “%2”, so the folder that holds it was opened.")
                .arg(wanted, displayName(url))};
}

} // namespace

WorkspaceResult DesktopWorkspace::open(const QUrl &url) {
    // Web pages, mail links and the like go to the desktop's handler for their scheme.
    if (!url.isLocalFile() && url.isValid() && !url.scheme().isEmpty())
        return launchDefault(url.toEncoded());
    if (auto missing = missingItem(url))
        return *missing;
    return launchDefault(encodedUri(pathBytes(url)));
}

WorkspaceResult DesktopWorkspace::reveal(const QUrl &url) {
    if (auto missing = missingItem(url))
        return *missing;
    if (callFileManager(QStringLiteral("ShowItems"), url))
        return WorkspaceResult::done();
    return openContainingFolder(url, QStringLiteral("show"));
}

WorkspaceResult DesktopWorkspace::showProperties(const QUrl &url) {
    if (auto missing = missingItem(url))
        return *missing;
    if (callFileManager(QStringLiteral("ShowItemProperties"), url))
        return WorkspaceResult::done();
    return openContainingFolder(url, QStringLiteral("show the properties of"));
}

WorkspaceResult DesktopWorkspace::moveToTrash(const QUrl &url) {
    if (auto missing = missingItem(url))
        return *missing;
    return fromGio(gio::trash(pathBytes(url).toStdString()));
}

} // namespace kestrova::platform::desktop

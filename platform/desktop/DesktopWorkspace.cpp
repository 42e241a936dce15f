#include "DesktopWorkspace.h"

#include "GioFiles_p.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace kestrova::platform::desktop {

namespace {

// Long enough for a file manager that is started by the bus on demand, short enough not to hang a menu.
constexpr int kFileManagerTimeoutMs = 5000;

QString displayName(const QUrl &url) {
    const QString name = QFileInfo(url.toLocalFile()).fileName();
    return name.isEmpty() ? url.toDisplayString() : name;
}

// Lost items are told apart from other failures: the entry may have gone since the menu listed it.
std::optional<WorkspaceResult> missingItem(const QUrl &url) {
    if (!url.isLocalFile())
        return WorkspaceResult::failed(
            QStringLiteral("“%1” is not a local file.").arg(url.toDisplayString()));
    // A dangling symbolic link still exists as an item of its own.
    const QFileInfo info(url.toLocalFile());
    if (info.exists() || info.isSymLink())
        return std::nullopt;
    return WorkspaceResult::failed(QStringLiteral("“%1” no longer exists.").arg(displayName(url)));
}

WorkspaceResult fromGio(const std::string &failure) {
    if (failure.empty())
        return WorkspaceResult::done();
    return WorkspaceResult::failed(QString::fromStdString(failure));
}

bool callFileManager(const QString &method, const QUrl &url) {
    auto connection = QDBusConnection::sessionBus();
    if (!connection.isConnected())
        return false;
    auto message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                  QStringLiteral("/org/freedesktop/FileManager1"),
                                                  QStringLiteral("org.freedesktop.FileManager1"), method);
    const QStringList uris{QString::fromLatin1(QUrl::fromLocalFile(url.toLocalFile()).toEncoded())};
    message << uris << QString();
    const auto reply = connection.call(message, QDBus::Block, kFileManagerTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

// Without a file manager on the bus, the folder that holds the item is the nearest thing to show.
WorkspaceResult openContainingFolder(const QUrl &url, const QString &wanted) {
    const QString folder = QFileInfo(url.toLocalFile()).absolutePath();
    const auto opened =
        fromGio(gio::launchDefaultForUri(QUrl::fromLocalFile(folder).toEncoded().toStdString()));
    if (!opened.succeeded)
        return opened;
    return {true,
            QStringLiteral("No file manager answered to %1 “%2”, so the folder that holds it was opened.")
                .arg(wanted, displayName(url))};
}

} // namespace

WorkspaceResult DesktopWorkspace::open(const QUrl &url) {
    if (auto missing = missingItem(url))
        return *missing;
    return fromGio(
        gio::launchDefaultForUri(QUrl::fromLocalFile(url.toLocalFile()).toEncoded().toStdString()));
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
    return fromGio(gio::trash(QFile::encodeName(url.toLocalFile()).toStdString()));
}

} // namespace kestrova::platform::desktop

#include "UrlOpener.h"

#include "foundation/errors/ErrorPresentation.h"
#include "foundation/files/FileUrl.h"
#include "foundation/text/VisibleBidiControls.h"
#include "platform/workspace/Workspace.h"

#include <QFile>
#include <QMimeDatabase>

#include <sys/stat.h>

namespace kestrova {

namespace {

const QString kUrlOpenerDomain = QStringLiteral("Kestrova.UrlOpener");

UrlOpener::Handler &installedHandler() {
    static UrlOpener::Handler handler;
    return handler;
}

struct Explanation {
    QString description;
    QString suggestion;
};

Explanation explain(const QUrl &url) {
    if (url.isLocalFile()) {
        const QByteArray path = url::localPath(url);
        const QString name = withVisibleBidiControls(QFile::decodeName(path.mid(path.lastIndexOf('/') + 1)));
        struct stat status {};
        if (::stat(path.constData(), &status) != 0)
            return {QStringLiteral("“%1” could not be opened.").arg(name),
                    QStringLiteral("It may have been moved, renamed or deleted.")};
        if (S_ISDIR(status.st_mode))
            return {QStringLiteral("The folder “%1” could not be opened.").arg(name),
                    QStringLiteral("No application is set to open folders. Install a file manager, or choose "
                                   "one as the default application for folders in the desktop's settings.")};
        const QString kind = QMimeDatabase().mimeTypeForFile(QFile::decodeName(path)).comment();
        return {QStringLiteral("“%1” could not be opened.").arg(name),
                QStringLiteral("No application is set to open files of the kind “%1”. Choose one with "
                               "“Open With”, or install an application that opens them.")
                    .arg(kind)};
    }
    const QString address = url.toDisplayString();
    const QString scheme = url.scheme().toLower();
    if (scheme == QStringLiteral("http") || scheme == QStringLiteral("https"))
        return {QStringLiteral("The page could not be opened."),
                QStringLiteral("No web browser is set to open links. Install a web browser, or choose a "
                               "default one in the desktop's settings. The page's address is %1")
                    .arg(address)};
    if (scheme == QStringLiteral("mailto"))
        return {QStringLiteral("The message could not be written."),
                QStringLiteral("No mail application is set to write messages. Install one, or choose a "
                               "default one in the desktop's settings. The address is %1")
                    .arg(url.path())};
    return {QStringLiteral("“%1” could not be opened.").arg(address),
            QStringLiteral("No application is set to open “%1:” links. Install one that does, or choose it "
                           "as the default in the desktop's settings.")
                .arg(scheme)};
}

} // namespace

bool UrlOpener::open(const QUrl &url) {
    platform::WorkspaceResult result;
    if (const auto &handler = installedHandler())
        result = handler(url) ? platform::WorkspaceResult::done() : platform::WorkspaceResult::failed({});
    else
        result = platform::Workspace::shared().open(url);
    if (result.succeeded)
        return true;
    // Where nothing is set to open the item, the desktop's words say no more than our advice does.
    presentAsModal(openFailure(url, result.lacksApplication ? QString() : result.message));
    return false;
}

UrlOpener::Handler UrlOpener::setHandler(Handler handler) {
    return std::exchange(installedHandler(), std::move(handler));
}

Error UrlOpener::openFailure(const QUrl &url, const QString &reason) {
    const Explanation explanation = explain(url);
    UserInfo info{{ErrorKey::localizedDescription, explanation.description},
                  {ErrorKey::localizedRecoverySuggestion, explanation.suggestion}};
    // The desktop's own words come first, then what to do about it.
    if (!reason.isEmpty())
        info.insert(ErrorKey::localizedFailureReason, reason);
    return Error(kUrlOpenerDomain, 1, std::move(info));
}

} // namespace kestrova
